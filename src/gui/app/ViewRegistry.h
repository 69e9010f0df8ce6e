// The catalogue of views: title, command and how to make one. Each view
// registers itself from its own source file with ALTAVO_REGISTER_VIEW.
#pragma once

#include <QList>
#include <QString>
#include <functional>

class CInstrumentDoc;
class CInstrumentView;
class QWidget;

struct CViewInfo
{
    QString title;        // fixed view title
    int commandId = 0;    // menu/toolbar command that opens it; 0 when none
    bool reopenable = true; // reopened from the saved window list
    std::function<CInstrumentView *(CInstrumentDoc &, QWidget *)> create;
};

class CViewRegistry
{
public:
    static bool Register(const CViewInfo &info);
    static const CViewInfo *FindTitle(const QString &title);
    static const CViewInfo *FindCommand(int commandId);
    static QList<CViewInfo> All();
};

#define ALTAVO_REGISTER_VIEW(Class, title, command, reopenable)                                    \
    namespace {                                                                                    \
    const bool registered##Class = CViewRegistry::Register(                                        \
        {QStringLiteral(title), command, reopenable,                                               \
         [](CInstrumentDoc &doc, QWidget *parent) -> CInstrumentView * { return new Class(doc, parent); }}); \
    }
