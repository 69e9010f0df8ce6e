// The catalogue of views.
#include "ViewRegistry.h"

namespace {
QList<CViewInfo> &Catalogue()
{
    static QList<CViewInfo> views;
    return views;
}
} // namespace

bool CViewRegistry::Register(const CViewInfo &info)
{
    Catalogue().append(info);
    return true;
}

const CViewInfo *CViewRegistry::FindTitle(const QString &title)
{
    for (const CViewInfo &v : Catalogue()) {
        if (v.title == title)
            return &v;
    }
    return nullptr;
}

const CViewInfo *CViewRegistry::FindCommand(int commandId)
{
    for (const CViewInfo &v : Catalogue()) {
        if (v.commandId == commandId && commandId != 0)
            return &v;
    }
    return nullptr;
}

QList<CViewInfo> CViewRegistry::All()
{
    return Catalogue();
}
