#pragma once
// A settings dialog generated from an exporter's properties: every property the user may
// change gets an editor showing its current value, with the property's description as the
// tool tip. Booleans are tri-state check boxes that start "unchanged", integers spin boxes
// with the property's range, enumerations combo boxes, flags one check box per flag,
// strings (and other serialisable values) line edits.

#include <QDialog>
#include <QList>

#include <memory>

struct _GstElement;

class ExportSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Never takes ownership of element, which must outlive the dialog.
    explicit ExportSettingsDialog(_GstElement* element, QWidget* parent = nullptr);
    ~ExportSettingsDialog() override;

    // The properties the user changed, as a GstStructure string named after the element's
    // factory; "name" alone when nothing changed. Values the user typed that do not read as
    // the property's type are left out.
    QByteArray touchedSettings() const;

    // Names of the properties that have an editor, in the dialog's order.
    QStringList propertyNames() const;

private:
    struct Field;
    _GstElement* m_element;
    QList<std::shared_ptr<Field>> m_fields;
};
