// "Instrument View": the instrument's display mirrored on screen and its buttons.
#include "VirtualInstrument.h"

#include "InstrumentDisplay.h"
#include "app/ViewRegistry.h"
#include "document/InstrumentDoc.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

ALTAVO_REGISTER_VIEW(CVirtualInstrument, "Instrument View", 32833, true)

namespace {
namespace Text {
const char *const Title = "Instrument View";
const char *const OnOff = "ON/OFF";
const char *const Brand = "MULTI-GAS DETECTOR";
const char *const UpTip = "Up (Up arrow key)";
const char *const DownTip = "Down (Down arrow key)";
const char *const OnOffTip = "On/Off (Right arrow key)";
} // namespace Text

// The face: a dark housing with the glass in a bezel and the three buttons below.
constexpr int FaceWidth = 336;
constexpr int FaceHeight = 250;
constexpr int Margin = 8;
constexpr QPoint DisplayAt{40, 46};
constexpr int ButtonTop = 188;
constexpr int ButtonSize = 40;

// The three reads that fetch the 40 bytes of display memory.
constexpr int DisplayReads[][2] = {{0, 16}, {16, 16}, {32, 8}};
constexpr int LastRead = 32;

QToolButton *FaceButton(QWidget *parent, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(false);
    b->setToolTip(tip);
    b->setFixedSize(ButtonSize + 16, ButtonSize);
    b->setStyleSheet(QStringLiteral(
        "QToolButton { color: #e8e8e8; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5a5e63,"
        " stop:1 #303336); border: 1px solid #15171a; border-radius: 12px; font-weight: bold; font-size: 9px; }"
        "QToolButton:pressed { background: #24272a; padding-top: 2px; }"));
    return b;
}
} // namespace

CVirtualInstrument::CVirtualInstrument(CInstrumentDoc &doc, QWidget *parent)
    : CInstrumentView(doc, QString::fromLatin1(Text::Title), parent), m_display(new CInstrumentDisplay(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(FaceWidth, FaceHeight);
    m_display->move(DisplayAt);
    m_display->Point(&doc.Ram(), -1);

    auto *up = FaceButton(this, QString::fromLatin1(Text::UpTip));
    up->setArrowType(Qt::UpArrow);
    auto *onOff = FaceButton(this, QString::fromLatin1(Text::OnOffTip));
    onOff->setText(QString::fromLatin1(Text::OnOff));
    auto *down = FaceButton(this, QString::fromLatin1(Text::DownTip));
    down->setArrowType(Qt::DownArrow);
    const int gap = (FaceWidth - 3 * up->width()) / 4;
    up->move(gap, ButtonTop);
    onOff->move(2 * gap + up->width(), ButtonTop);
    down->move(3 * gap + 2 * up->width(), ButtonTop);
    m_up = up;
    m_onOff = onOff;
    m_down = down;
    const std::pair<QAbstractButton *, int> buttons[] = {
        {up, CInstrumentKeys::KeyUp}, {onOff, CInstrumentKeys::KeyRight}, {down, CInstrumentKeys::KeyDown}};
    for (const auto &[button, key] : buttons) {
        connect(button, &QAbstractButton::pressed, this, [this, key = key] { Press(key, true); });
        connect(button, &QAbstractButton::released, this, [this, key = key] { Press(key, false); });
    }
}

QSize CVirtualInstrument::FormSize() const
{
    return {FaceWidth, FaceHeight};
}

QAbstractButton *CVirtualInstrument::Button(int key) const
{
    switch (key) {
    case CInstrumentKeys::KeyUp: return m_up;
    case CInstrumentKeys::KeyRight: return m_onOff;
    case CInstrumentKeys::KeyDown: return m_down;
    default: return nullptr;
    }
}

void CVirtualInstrument::RequestDisplay()
{
    for (const auto &read : DisplayReads)
        Document().ReadRam(int(m_address) + read[0], read[1]);
}

void CVirtualInstrument::OnUpdate(int code, const CReplyNotice &notice)
{
    switch (code) {
    case UpdateCode::DisplayAddress: {
        const qint64 address = Document().DisplayAddress();
        // Only an address whose 40 bytes lie inside RAM can be shown.
        if (address < 0 || address + CInstrumentDisplay::MemoryBytes > CInstrumentDoc::RamSize)
            break;
        m_address = address;
        m_display->Point(&Document().Ram(), m_address);
        break;
    }
    case UpdateCode::Poll:
        if (m_address < 0)
            Document().ReadDisplayAddress();
        else if (!m_requestedOnIdle)
            RequestDisplay();
        m_requestedOnIdle = false;
        break;
    case UpdateCode::Idle:
        if (m_address >= 0) {
            RequestDisplay();
            m_requestedOnIdle = true;
        }
        break;
    case UpdateCode::RamBlock:
        if (m_address >= 0 && notice.address == m_address + LastRead)
            m_display->SetRead(true);
        break;
    default:
        break;
    }
}

int CVirtualInstrument::KeyCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Up: return CInstrumentKeys::KeyUp;
    case Qt::Key_Right: return CInstrumentKeys::KeyRight;
    case Qt::Key_Down: return CInstrumentKeys::KeyDown;
    default: return 0;
    }
}

void CVirtualInstrument::Press(int key, bool down)
{
    if (m_keys.Press(key, down))
        Document().SendKeys(m_keys.Byte());
}

void CVirtualInstrument::keyPressEvent(QKeyEvent *event)
{
    const int key = KeyCode(event->key());
    if (!key) {
        CInstrumentView::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        Press(key, true);
    event->accept();
}

void CVirtualInstrument::keyReleaseEvent(QKeyEvent *event)
{
    const int key = KeyCode(event->key());
    if (!key) {
        CInstrumentView::keyReleaseEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        Press(key, false);
    event->accept();
}

void CVirtualInstrument::focusInEvent(QFocusEvent *event)
{
    update();
    CInstrumentView::focusInEvent(event);
}

void CVirtualInstrument::focusOutEvent(QFocusEvent *event)
{
    update();
    // A key released while another window has the keyboard never reaches
    // this view: let go now rather than leave the instrument's button held.
    if (m_keys.ReleaseAll())
        Document().SendKeys(m_keys.Byte());
    CInstrumentView::focusOutEvent(event);
}

void CVirtualInstrument::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());

    const QRectF face(Margin, Margin, FaceWidth - 2 * Margin, FaceHeight - 2 * Margin);
    QLinearGradient body(face.topLeft(), face.bottomLeft());
    body.setColorAt(0, QColor(0x3b, 0x40, 0x46));
    body.setColorAt(1, QColor(0x1d, 0x20, 0x24));
    p.setPen(QPen(QColor(0x0e, 0x10, 0x12), 2));
    p.setBrush(body);
    p.drawRoundedRect(face, 22, 22);

    // Bezel and glass edge around the display.
    const QRectF glass = QRectF(m_display->geometry()).adjusted(-10, -10, 10, 10);
    p.setPen(QPen(QColor(0x0a, 0x0b, 0x0c), 1));
    p.setBrush(QColor(0x12, 0x14, 0x16));
    p.drawRoundedRect(glass, 8, 8);
    p.setPen(QPen(QColor(0x8a, 0x8d, 0x90), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(m_display->geometry()).adjusted(-1.5, -1.5, 1.5, 1.5));

    QFont label = font();
    label.setPointSizeF(7.5);
    label.setBold(true);
    label.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(label);
    p.setPen(QColor(0xc8, 0xcc, 0xd0));
    p.drawText(QRectF(face.left(), face.top() + 6, face.width(), 20), Qt::AlignCenter, QString::fromLatin1(Text::Brand));

    if (hasFocus()) {
        p.setPen(QPen(QColor(0x4f, 0xa3, 0xe0), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(face.adjusted(3, 3, -3, -3), 19, 19);
    }
}
