// How the board test has a firmware file put into the instrument's flash: the
// flash group asks for a download and hears how it ended.
#pragma once

#include <QString>
#include <functional>

class IBoardTestDownload
{
public:
    enum class Result { Done, Failed, Cancelled };

    virtual ~IBoardTestDownload() = default;
    // Starts a run from the file; false with *error when nothing was sent.
    virtual bool Start(const QString &path, QString *error) = 0;
    // Drops the run's requests.
    virtual void Cancel() = 0;

    // Called once when a started run ends.
    std::function<void(Result)> finished;
};
