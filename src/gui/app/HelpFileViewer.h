// The help text in its own child window, with a search bar above it.
#pragma once

#include "FileViewer.h"

class QLineEdit;

class CHelpFileViewer : public CFileViewer
{
    Q_OBJECT
public:
    static constexpr char Caption[] = "help.rtf";

    explicit CHelpFileViewer(CFileViewerDoc *doc, QWidget *parent = nullptr);

    // The bar with the search box, "Search" and "Close Help".
    QWidget *CreateSearchBar(QWidget *parent);
    // Finds text from the current position on, ignoring case, and selects it;
    // false (and a beep) when it does not occur after the position.
    bool Search(const QString &text);

signals:
    void CloseRequested();

private:
    QLineEdit *m_searchText = nullptr;
};
