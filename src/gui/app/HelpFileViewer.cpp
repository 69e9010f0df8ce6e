// The help viewer.
#include "HelpFileViewer.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

CHelpFileViewer::CHelpFileViewer(CFileViewerDoc *doc, QWidget *parent) : CFileViewer(doc, parent)
{
}

QWidget *CHelpFileViewer::CreateSearchBar(QWidget *parent)
{
    auto *bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("HelpSearchBar"));
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(6, 4, 6, 4);
    m_searchText = new QLineEdit;
    m_searchText->setObjectName(QStringLiteral("SearchText"));
    m_searchText->setClearButtonEnabled(true);
    auto *search = new QPushButton(QStringLiteral("Search"));
    auto *close = new QPushButton(QStringLiteral("Close Help"));
    search->setDefault(true);
    layout->addWidget(m_searchText, 1);
    layout->addWidget(search);
    layout->addWidget(close);
    connect(search, &QPushButton::clicked, this, [this] { Search(m_searchText->text()); });
    connect(m_searchText, &QLineEdit::returnPressed, this, [this] { Search(m_searchText->text()); });
    connect(close, &QPushButton::clicked, this, &CHelpFileViewer::CloseRequested);
    return bar;
}

bool CHelpFileViewer::Search(const QString &text)
{
    if (text.isEmpty())
        return false;
    if (find(text))
        return true;
    QApplication::beep();
    return false;
}
