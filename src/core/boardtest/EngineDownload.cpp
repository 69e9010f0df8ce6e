// Board-test downloads through the programming engine.
#include "EngineDownload.h"

#include "firmware/ProgrammingEngine.h"

CEngineDownload::CEngineDownload(CInstrumentDoc &doc, IUserPrompt *prompt)
    : m_engine(std::make_unique<CProgrammingEngine>(doc, QStringLiteral("Programming")))
{
    m_engine->SetPrompt(prompt);
    m_engine->SetCaption(QStringLiteral("Flash Test"));
    QObject::connect(m_engine.get(), &CProgrammingEngine::StateChanged, m_engine.get(),
                     [this](CProgrammingEngine::State state) {
                         if (!m_running)
                             return;
                         Result result;
                         switch (state) {
                         case CProgrammingEngine::State::Done:
                             result = Result::Done;
                             break;
                         case CProgrammingEngine::State::Failed:
                             result = Result::Failed;
                             break;
                         case CProgrammingEngine::State::Cancelled:
                             result = Result::Cancelled;
                             break;
                         default:
                             return;
                         }
                         m_running = false;
                         if (finished)
                             finished(result);
                     });
}

CEngineDownload::~CEngineDownload() = default;

bool CEngineDownload::Start(const QString &path, QString *error)
{
    CProgrammingEngine::StoreFileName(path);
    m_running = true;
    if (m_engine->Start(path))
        return true;
    m_running = false;
    if (error)
        *error = m_engine->ErrorString();
    return false;
}

void CEngineDownload::Cancel()
{
    const bool wasRunning = m_running;
    m_running = false;
    if (wasRunning)
        m_engine->Cancel();
}
