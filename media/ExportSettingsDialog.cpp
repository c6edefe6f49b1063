#include "media/ExportSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <gst/gst.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>

// One editor: reads its value into a GValue of the property's type; false when the text
// the user typed does not read as that type.
struct ExportSettingsDialog::Field {
    const GParamSpec* spec = nullptr;
    bool touched = false;
    std::function<bool(GValue*)> read;
};

namespace {

struct ValueHolder {
    GValue value = G_VALUE_INIT;
    ~ValueHolder()
    {
        if (G_IS_VALUE(&value))
            g_value_unset(&value);
    }
};

// An integer property whose range fits a spin box: its bounds and current value.
bool integerRange(const GParamSpec* spec, const GValue* current, qint64* low, qint64* high, qint64* now)
{
    if (G_IS_PARAM_SPEC_INT(spec)) {
        *low = G_PARAM_SPEC_INT(spec)->minimum;
        *high = G_PARAM_SPEC_INT(spec)->maximum;
        *now = g_value_get_int(current);
    } else if (G_IS_PARAM_SPEC_UINT(spec)) {
        *low = G_PARAM_SPEC_UINT(spec)->minimum;
        *high = G_PARAM_SPEC_UINT(spec)->maximum;
        *now = g_value_get_uint(current);
    } else {
        return false;
    }
    // Wider ranges (unsigned values past INT_MAX) are cut to what QSpinBox holds.
    *low = std::clamp<qint64>(*low, INT_MIN, INT_MAX);
    *high = std::clamp<qint64>(*high, INT_MIN, INT_MAX);
    return true;
}

} // namespace

ExportSettingsDialog::ExportSettingsDialog(GstElement* element, QWidget* parent)
    : QDialog(parent), m_element(element)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    const gchar* longName = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME) : nullptr;
    // The exporter's own name, as its packager wrote it.
    gchar* elementName = gst_object_get_name(GST_OBJECT(element));
    setWindowTitle(QString::fromUtf8(longName ? longName : elementName));
    g_free(elementName);

    auto* form = new QFormLayout;
    guint count = 0;
    GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(element), &count);
    for (guint i = 0; i < count; ++i) {
        const GParamSpec* spec = specs[i];
        if (!(spec->flags & G_PARAM_WRITABLE) || (spec->flags & G_PARAM_CONSTRUCT_ONLY)
            || std::strcmp(spec->name, "name") == 0 || std::strcmp(spec->name, "parent") == 0)
            continue;
        ValueHolder current;
        g_value_init(&current.value, spec->value_type);
        if (spec->flags & G_PARAM_READABLE)
            g_object_get_property(G_OBJECT(element), spec->name, &current.value);
        else
            g_param_value_set_default(const_cast<GParamSpec*>(spec), &current.value);

        auto field = std::make_shared<Field>();
        field->spec = spec;
        Field* f = field.get();
        const auto touch = [f] { f->touched = true; };
        const GType type = spec->value_type;
        QWidget* editor = nullptr;
        qint64 low = 0, high = 0, now = 0;

        if (type == G_TYPE_BOOLEAN) {
            // Starts "unchanged": a setting is written only when the user picks a side.
            auto* box = new QCheckBox;
            box->setTristate(true);
            box->setCheckState(Qt::PartiallyChecked);
            box->setText(g_value_get_boolean(&current.value) ? tr("(now on)") : tr("(now off)"));
            connect(box, &QCheckBox::stateChanged, this, [f, box] {
                f->touched = box->checkState() != Qt::PartiallyChecked;
            });
            field->read = [box](GValue* v) {
                g_value_set_boolean(v, box->checkState() == Qt::Checked);
                return true;
            };
            editor = box;
        } else if (integerRange(spec, &current.value, &low, &high, &now)) {
            auto* spin = new QSpinBox;
            spin->setRange(int(low), int(high));
            spin->setValue(int(qBound(low, now, high)));
            connect(spin, &QSpinBox::valueChanged, this, touch);
            const bool isUnsigned = G_IS_PARAM_SPEC_UINT(spec);
            field->read = [spin, isUnsigned](GValue* v) {
                if (isUnsigned)
                    g_value_set_uint(v, guint(spin->value()));
                else
                    g_value_set_int(v, spin->value());
                return true;
            };
            editor = spin;
        } else if (G_IS_PARAM_SPEC_DOUBLE(spec) || G_IS_PARAM_SPEC_FLOAT(spec)) {
            auto* spin = new QDoubleSpinBox;
            const bool isDouble = G_IS_PARAM_SPEC_DOUBLE(spec);
            spin->setDecimals(3);
            if (isDouble)
                spin->setRange(G_PARAM_SPEC_DOUBLE(spec)->minimum, G_PARAM_SPEC_DOUBLE(spec)->maximum);
            else
                spin->setRange(G_PARAM_SPEC_FLOAT(spec)->minimum, G_PARAM_SPEC_FLOAT(spec)->maximum);
            spin->setValue(isDouble ? g_value_get_double(&current.value) : g_value_get_float(&current.value));
            connect(spin, &QDoubleSpinBox::valueChanged, this, touch);
            field->read = [spin, isDouble](GValue* v) {
                if (isDouble)
                    g_value_set_double(v, spin->value());
                else
                    g_value_set_float(v, float(spin->value()));
                return true;
            };
            editor = spin;
        } else if (G_IS_PARAM_SPEC_ENUM(spec)) {
            auto* combo = new QComboBox;
            GEnumClass* enumClass = G_PARAM_SPEC_ENUM(spec)->enum_class;
            for (guint k = 0; k < enumClass->n_values; ++k) {
                combo->addItem(QString::fromUtf8(enumClass->values[k].value_nick), enumClass->values[k].value);
                combo->setItemData(int(k), QString::fromUtf8(enumClass->values[k].value_name), Qt::ToolTipRole);
            }
            combo->setCurrentIndex(combo->findData(g_value_get_enum(&current.value)));
            connect(combo, &QComboBox::activated, this, touch);
            field->read = [combo](GValue* v) {
                g_value_set_enum(v, combo->currentData().toInt());
                return true;
            };
            editor = combo;
        } else if (G_IS_PARAM_SPEC_FLAGS(spec)) {
            auto* group = new QGroupBox;
            auto* column = new QVBoxLayout(group);
            GFlagsClass* flagsClass = G_PARAM_SPEC_FLAGS(spec)->flags_class;
            const guint flags = g_value_get_flags(&current.value);
            QList<QPair<QCheckBox*, guint>> boxes;
            for (guint k = 0; k < flagsClass->n_values; ++k) {
                const guint bit = flagsClass->values[k].value;
                auto* box = new QCheckBox(QString::fromUtf8(flagsClass->values[k].value_nick));
                box->setObjectName(QString::fromUtf8(flagsClass->values[k].value_nick));
                box->setChecked(bit != 0 && (flags & bit) == bit);
                box->setEnabled(bit != 0);
                connect(box, &QCheckBox::toggled, this, touch);
                column->addWidget(box);
                boxes.append({box, bit});
            }
            field->read = [boxes](GValue* v) {
                guint result = 0;
                for (const auto& [box, bit] : boxes) {
                    if (box->isChecked())
                        result |= bit;
                }
                g_value_set_flags(v, result);
                return true;
            };
            editor = group;
        } else if (type == G_TYPE_STRING) {
            auto* line = new QLineEdit(QString::fromUtf8(g_value_get_string(&current.value)));
            connect(line, &QLineEdit::textEdited, this, touch);
            field->read = [line](GValue* v) {
                g_value_set_string(v, line->text().toUtf8().constData());
                return true;
            };
            editor = line;
        } else {
            // Anything else GStreamer can write as text (64-bit integers, caps, fractions).
            gchar* text = gst_value_serialize(&current.value);
            if (!text)
                continue;
            auto* line = new QLineEdit(QString::fromUtf8(text));
            g_free(text);
            connect(line, &QLineEdit::textEdited, this, touch);
            field->read = [line](GValue* v) { return bool(gst_value_deserialize(v, line->text().toUtf8().constData())); };
            editor = line;
        }
        editor->setObjectName(QString::fromUtf8(spec->name));
        if (const gchar* blurb = g_param_spec_get_blurb(const_cast<GParamSpec*>(spec)))
            editor->setToolTip(QString::fromUtf8(blurb));
        form->addRow(QString::fromUtf8(g_param_spec_get_nick(const_cast<GParamSpec*>(spec))), editor);
        m_fields.append(field);
    }
    g_free(specs);

    auto* page = new QWidget;
    page->setLayout(form);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons);
}

ExportSettingsDialog::~ExportSettingsDialog() = default;

QStringList ExportSettingsDialog::propertyNames() const
{
    QStringList names;
    for (const auto& field : m_fields)
        names.append(QString::fromUtf8(field->spec->name));
    return names;
}

QByteArray ExportSettingsDialog::touchedSettings() const
{
    GstElementFactory* factory = gst_element_get_factory(m_element);
    GstStructure* structure = gst_structure_new_empty(
        factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "settings");
    for (const auto& field : m_fields) {
        if (!field->touched)
            continue;
        ValueHolder value;
        g_value_init(&value.value, field->spec->value_type);
        if (field->read(&value.value))
            gst_structure_set_value(structure, field->spec->name, &value.value);
    }
    gchar* text = gst_structure_to_string(structure);
    QByteArray settings(text);
    g_free(text);
    gst_structure_free(structure);
    return settings;
}
