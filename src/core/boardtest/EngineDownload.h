// The board test's downloads through the flash programming engine, with the
// serial number counted in the "Programming" section as the programming view
// counts it.
#pragma once

#include "BoardTestDownload.h"

#include <memory>

class CInstrumentDoc;
class CProgrammingEngine;
class IUserPrompt;

class CEngineDownload final : public IBoardTestDownload
{
public:
    CEngineDownload(CInstrumentDoc &doc, IUserPrompt *prompt);
    ~CEngineDownload() override;

    bool Start(const QString &path, QString *error) override;
    void Cancel() override;

private:
    std::unique_ptr<CProgrammingEngine> m_engine;
    bool m_running = false;
};
