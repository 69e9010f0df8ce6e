// Switching ports.
#include "PortSwitcher.h"

#include "ComErrorDialog.h"
#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"
#include "platform/SerialPortList.h"

namespace {
const QString PrefSection = QString::fromLatin1(Pref::Preferences);
} // namespace

void CPortSwitcher::Switch(int port)
{
    const QString key = QString::fromLatin1(Pref::CommPort);
    if (port < 0) {
        CPreferences::SetInt(PrefSection, key, -1);
        m_doc.Link().OpenPort(-1);
        return;
    }
    for (;;) {
        CPreferences::SetInt(PrefSection, key, port);
        if (m_doc.Link().OpenPort(port))
            return;
        CComErrorDialog dialog(port, m_doc.Link().LastError(), CSerialPortList::Available(), m_dialogParent);
        if (dialog.exec() != QDialog::Accepted || dialog.ChosenPort() == 0)
            return;
        port = dialog.ChosenPort();
        // A device picked from the system's list goes behind this COM number,
        // where every later open of it looks.
        if (!dialog.ChosenDevice().isEmpty())
            CPreferences::SetString(PrefSection, Pref::ComDeviceKey(port), dialog.ChosenDevice());
    }
}

int CPortSwitcher::StoredPort()
{
    return CPreferences::GetInt(PrefSection, QString::fromLatin1(Pref::CommPort), 0);
}
