#include "support/ClassicControls.h"

#include "support/CString256.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVariant>

#include <cstring>

namespace {

// The FSSpec record of an absolute path: its folder and its last component.
FSSpec specFromPath(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0)
        return {QByteArray("/"), path.mid(slash + 1)};
    return {path.left(slash), path.mid(slash + 1)};
}

OSType signatureOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray) {
        const QByteArray text = value.toByteArray();
        if (text.size() != 4)
            return 0;
        return OSType(static_cast<unsigned char>(text[0])) << 24 | OSType(static_cast<unsigned char>(text[1])) << 16
            | OSType(static_cast<unsigned char>(text[2])) << 8 | OSType(static_cast<unsigned char>(text[3]));
    }
    bool ok = false;
    const qulonglong number = value.toULongLong(&ok);
    return ok ? OSType(number) : 0;
}

OSStatus finishSet(QWidget* control, bool redraw)
{
    if (redraw)
        control->repaint();   // at once, as Draw1Control did
    return noErr;
}

// Edit and static texts hold one value, as the classic controls shared one text tag: either
// kind answers. Null for a control of another kind.
std::optional<QString> textOf(const QWidget* control)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    return std::nullopt;
}

OSStatus setTextOf(QWidget* control, const QString& text, bool redraw)
{
    if (!control)
        return paramErr;
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else
        return errDataNotSupported;
    return finishSet(control, redraw);
}

// Bytes of a length-prefixed string as text.
QString fromPascal(const unsigned char* text)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(text + 1), text[0]);
}

// Answers the installed filter for each key pressed in the field it watches.
class KeyFilter final : public QObject {
public:
    KeyFilter(QWidget* control, ControlKeyFilterProcPtr filter) : QObject(control), m_control(control), m_filter(filter)
    {
        setObjectName(QStringLiteral("ordinelloKeyFilter"));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_control || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        auto keyCode = std::int16_t(key->nativeScanCode());
        auto charCode = std::int16_t(key->text().isEmpty() ? 0 : key->text().at(0).unicode());
        std::uint16_t modifiers = 0;
        const Qt::KeyboardModifiers held = key->modifiers();
        if (held & Qt::ControlModifier)
            modifiers |= cmdKey;
        if (held & Qt::ShiftModifier)
            modifiers |= shiftKey;
        if (held & Qt::AltModifier)
            modifiers |= optionKey;
        if (held & Qt::MetaModifier)
            modifiers |= controlKey;
        return m_filter(m_control, &keyCode, &charCode, &modifiers) == kControlKeyFilterBlockKey;
    }

private:
    QWidget* m_control;
    ControlKeyFilterProcPtr m_filter;
};

} // namespace

ControlRef GrabCRef(QWidget* window, OSType signature, long number)
{
    if (!window)
        return nullptr;
    QList<QWidget*> candidates{window};
    candidates += window->findChildren<QWidget*>();
    for (QWidget* widget : std::as_const(candidates)) {
        const QVariant sig = widget->property("controlSignature");
        const QVariant num = widget->property("controlNumber");
        if (sig.isValid() && num.isValid() && signatureOf(sig) == signature && num.toLongLong() == number)
            return widget;
    }
    return nullptr;
}

QString GetEditTextAsCFString(ControlRef control)
{
    return textOf(control).value_or(QString());
}

OSStatus SetEditTextAsCFString(ControlRef control, const QString& text, bool redraw)
{
    return setTextOf(control, text, redraw);
}

OSStatus SetStaticTextAsCFString(ControlRef control, const QString& text, bool redraw)
{
    return setTextOf(control, text, redraw);
}

OSStatus SetEditTextText(ControlRef control, const unsigned char* text, bool redraw)
{
    if (!control || !text)
        return paramErr;
    return SetEditTextAsCFString(control, fromPascal(text), redraw);
}

OSStatus SetStaticTextText(ControlRef control, const unsigned char* text, bool redraw)
{
    if (!control || !text)
        return paramErr;
    return SetStaticTextAsCFString(control, fromPascal(text), redraw);
}

OSStatus SetEditTextText(ControlRef control, const QString& text, bool redraw)
{
    if (!control)
        return paramErr;
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() > CString256::kCapacity)
        return noErr;
    Str255 pascal{};
    pascal[0] = static_cast<unsigned char>(bytes.size());
    std::memcpy(pascal + 1, bytes.constData(), std::size_t(bytes.size()));
    return SetEditTextText(control, pascal, redraw);
}

OSStatus GetEditTextText(ControlRef control, unsigned char* text)
{
    if (!control || !text)
        return paramErr;
    const std::optional<QString> current = textOf(control);
    if (!current)
        return errDataNotSupported;
    // CString256 cuts at the last whole UTF-8 sequence that fits in 255 bytes.
    CString256 cut;
    cut = *current;
    const int length = cut.length();
    text[0] = static_cast<unsigned char>(length);
    std::memcpy(text + 1, cut.c_str(), std::size_t(length));
    return noErr;
}

OSStatus SetEditTextKeyFilter(ControlRef control, ControlKeyFilterProcPtr filter)
{
    if (!control || !filter)
        return paramErr;
    if (!qobject_cast<QLineEdit*>(control))
        return errDataNotSupported;
    // One filter per field, as the control kept one procedure.
    delete control->findChild<QObject*>(QStringLiteral("ordinelloKeyFilter"), Qt::FindDirectChildrenOnly);
    control->installEventFilter(new KeyFilter(control, filter));
    return noErr;
}

std::optional<QList<FSSpec>> ChooseFiles(const FSSpec* defaultLocation, const char* message)
{
    QFileDialog dialog;
    // Qt's own dialog: the desktop's portal dialog cannot carry the message, and Qt's can be
    // driven the same way everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (message && *message) {
        // A long message is cut at 255 bytes on a character boundary (not at its length
        // modulo 256, which showed 44 bytes of a 300-byte message).
        CString256 cut;
        cut = QString::fromUtf8(message);
        auto* label = new QLabel(cut.MakeCFString(), &dialog);
        label->setObjectName(QStringLiteral("message"));
        label->setWordWrap(true);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (defaultLocation) {
        const QByteArray& parent = defaultLocation->parent;
        const QString path = QFile::decodeName(parent.endsWith('/') ? parent + defaultLocation->name
                                                                    : parent + '/' + defaultLocation->name);
        if (QFileInfo(path).isDir()) {
            dialog.setDirectory(path);
        } else {
            dialog.setDirectory(QFile::decodeName(defaultLocation->parent));
            dialog.selectFile(QFile::decodeName(defaultLocation->name));
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QList<FSSpec> chosen;
    for (const QString& file : dialog.selectedFiles())
        chosen.append(specFromPath(QFile::encodeName(file)));
    return chosen;
}
