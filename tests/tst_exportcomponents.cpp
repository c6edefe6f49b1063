// The exporter catalogue over a registry that holds only this test's plugin, the settings
// dialog's round trip, and (run a second time by ctest) invariants of the real registry.

#include "media/ExportComponents.h"
#include "media/ExportSettingsDialog.h"
#include "platform/SystemLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSet>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gst/gst.h>

#include <functional>

namespace {

bool realRegistry()
{
    return qEnvironmentVariableIsSet("ORDINELLO_GST_REAL_REGISTRY");
}

// Test muxers: one base class with a property of each kind, each kept as it was set
// (until then: its declared default); derived types carry the metadata and the output caps
// given at registration.
struct MuxerKind {
    const char* longName;
    const char* srcCaps;
};

void testMuxSetProperty(GObject* object, guint, const GValue* value, GParamSpec* spec)
{
    auto* copy = g_new0(GValue, 1);
    g_value_init(copy, spec->value_type);
    g_value_copy(value, copy);
    g_object_set_data_full(object, spec->name, copy, [](gpointer stored) {
        g_value_unset(static_cast<GValue*>(stored));
        g_free(stored);
    });
}

void testMuxGetProperty(GObject* object, guint, GValue* value, GParamSpec* spec)
{
    if (const auto* stored = static_cast<const GValue*>(g_object_get_data(object, spec->name)))
        g_value_copy(stored, value);
    else
        g_param_value_set_default(spec, value);
}

void testMuxClassInit(gpointer klass, gpointer)
{
    auto* objectClass = G_OBJECT_CLASS(klass);
    objectClass->set_property = testMuxSetProperty;
    objectClass->get_property = testMuxGetProperty;
    static const GEnumValue modes[] = {{0, "MODE_PLAIN", "plain"}, {1, "MODE_FRAGMENTED", "fragmented"}, {0, nullptr, nullptr}};
    static const GFlagsValue options[] = {{1, "OPT_INDEX", "index"}, {2, "OPT_CHAPTERS", "chapters"}, {0, nullptr, nullptr}};
    const auto rw = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    GParamSpec* const specs[] = {
        g_param_spec_boolean("fast-start", "Fast start", "Index at the front", FALSE, rw),
        g_param_spec_int("interval", "Interval", "Seconds between index points", 0, 100, 10, rw),
        g_param_spec_enum("mode", "Mode", "Layout", g_enum_register_static("OrdTestMuxMode", modes), 0, rw),
        g_param_spec_flags("options", "Options", "Extras", g_flags_register_static("OrdTestMuxOptions", options), 0, rw),
        g_param_spec_string("label", "Label", "Title written", "start", rw),
        g_param_spec_int("seed", "Seed", "Fixed at creation", 0, 9, 0, GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY)),
    };
    for (guint i = 0; i < G_N_ELEMENTS(specs); ++i)
        g_object_class_install_property(objectClass, i + 1, specs[i]);
}

GType testMuxType()
{
    static const GType type = [] {
        static const GTypeInfo info = {sizeof(GstElementClass), nullptr, nullptr, testMuxClassInit, nullptr,
                                       nullptr, sizeof(GstElement), 0, nullptr, nullptr};
        return g_type_register_static(GST_TYPE_ELEMENT, "OrdTestMux", &info, G_TYPE_FLAG_ABSTRACT);
    }();
    return type;
}

void kindClassInit(gpointer klass, gpointer data)
{
    const auto* kind = static_cast<const MuxerKind*>(data);
    auto* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(elementClass, kind->longName, "Codec/Muxer", "Test muxer", "Tests");
    gst_element_class_add_pad_template(elementClass,
        gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, gst_caps_from_string(kind->srcCaps)));
}

GType registerKind(const char* typeName, GType parent, const MuxerKind* kind)
{
    GTypeQuery query;
    g_type_query(parent, &query);
    const GTypeInfo info = {guint16(query.class_size), nullptr, nullptr, kindClassInit, nullptr, kind,
                            guint16(query.instance_size), 0, nullptr, nullptr};
    return g_type_register_static(parent, typeName, &info, GTypeFlags(0));
}

const MuxerKind kMovie = {"Test Movie Muxer", "video/quicktime, variant=(string){ apple, iso }"};
const MuxerKind kTwin = {"Twin Muxer", "video/x-matroska"};
const MuxerKind kRtp = {"Test RTP Muxer", "application/x-rtp"};
const MuxerKind kPlain = {"Plain Muxer", "application/x-ordinello-unknown"};
const MuxerKind kLoose = {"Loose Muxer", "video/quicktime, variant=(string)3gpp"};

gboolean registerElements(GstPlugin* plugin)
{
    return gst_element_register(plugin, "qtmux", GST_RANK_NONE, registerKind("OrdTestQtMux", testMuxType(), &kMovie))
        && gst_element_register(plugin, "twinmuxa", GST_RANK_NONE, registerKind("OrdTwinA", testMuxType(), &kTwin))
        && gst_element_register(plugin, "twinmuxb", GST_RANK_NONE, registerKind("OrdTwinB", testMuxType(), &kTwin))
        && gst_element_register(plugin, "rtptestmux", GST_RANK_NONE, registerKind("OrdRtp", testMuxType(), &kRtp))
        && gst_element_register(plugin, "plainmux", GST_RANK_NONE, registerKind("OrdPlain", GST_TYPE_ELEMENT, &kPlain));
}

const ExportComponentEntry* entryNamed(const QString& displayName)
{
    if (!gComponentDictionaries)
        return nullptr;
    auto it = gComponentDictionaries->constFind(displayName);
    return it == gComponentDictionaries->cend() ? nullptr : &*it;
}

// Runs action on the settings dialog once it shows; counts the dialogs seen.
void onDialog(std::function<void(ExportSettingsDialog*)> action, int* seen)
{
    QTimer::singleShot(0, qApp, [action, seen] {
        if (auto* dialog = qobject_cast<ExportSettingsDialog*>(QApplication::activeModalWidget())) {
            ++*seen;
            action(dialog);
        }
    });
}

} // namespace

class TestExportComponents : public QObject {
    Q_OBJECT

private:
    QStringList m_log;
    const ExportComponentEntry* movie() { return entryNamed(QStringLiteral("Test Movie Muxer [MooV,orte]")); }

    std::optional<QByteArray> runDialog(const std::optional<QByteArray>& previous,
                                        std::function<void(ExportSettingsDialog*)> action, int* seen)
    {
        onDialog(std::move(action), seen);
        return GetExportSettingsForComponentDictionary(*movie(), previous);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(EnsureGStreamer());
        if (!realRegistry()) {
            QVERIFY(gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "ortest", "Test muxers",
                                               registerElements, "1.0", "LGPL", "tests", "ordinello", "tests"));
            // One element outside any plugin: its manufacturer is empty.
            QVERIFY(gst_element_register(nullptr, "loosemux", GST_RANK_NONE,
                                         registerKind("OrdLoose", testMuxType(), &kLoose)));
        }
        InitComponentsDictionaries();
        QVERIFY(gComponentDictionaries.has_value());
        SetSystemLogHandlerForTesting([this](const QString& message) { m_log.append(message); });
    }
    // Every test but the last needs this test's own registry; the last, the system's.
    void init()
    {
        m_log.clear();
        if (realRegistry() != (qstrcmp(QTest::currentTestFunction(), "realRegistryInvariants") == 0))
            QSKIP(realRegistry() ? "needs the test registry" : "run by ctest with the system's plugins");
    }
    void cleanupTestCase() { SetSystemLogHandlerForTesting({}); }

    void catalogueEntries_data()
    {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("known classic code, extension from fixated caps")
            << "Test Movie Muxer [MooV,orte]" << ".mov" << "ortest/qtmux";
        QTest::newRow("same display name: the first by factory name wins")
            << "Twin Muxer [twin,orte]" << ".mkv" << "ortest/twinmuxa";
        QTest::newRow("a format without a usual extension")
            << "Plain Muxer [plai,orte]" << "" << "ortest/plainmux";
        QTest::newRow("no plugin: no manufacturer")
            << "Loose Muxer [loos]" << ".3gp" << "loosemux";
    }
    void catalogueEntries()
    {
        QFETCH(QString, displayName);
        QFETCH(QString, extension);
        QFETCH(QString, identifier);
        const ExportComponentEntry* entry = entryNamed(displayName);
        QVERIFY2(entry, qPrintable(gComponentDictionaries->keys().join(QLatin1String(" | "))));
        QCOMPARE(entry->extension, extension);
        QCOMPARE(entry->component.identifier(), identifier);
        QCOMPARE(entry->type, kMovieExportType);
        QVERIFY(!entry->exporter.isNull());
    }

    void catalogueLeavesOutStreamOnlyMuxers()
    {
        QCOMPARE(gComponentDictionaries->size(), 4);   // the RTP muxer and the second twin are out
    }

    void hasUI_data()
    {
        QTest::addColumn<OSType>("type");
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<bool>("expected");
        QTest::newRow("exporter with settable properties") << kMovieExportType << "Test Movie Muxer [MooV,orte]" << true;
        QTest::newRow("importer type, same test") << kMovieImportType << "Test Movie Muxer [MooV,orte]" << true;
        QTest::newRow("other type") << OSType(0x61626364) << "Test Movie Muxer [MooV,orte]" << false;
        QTest::newRow("only name and parent") << kMovieExportType << "Plain Muxer [plai,orte]" << false;
        QTest::newRow("null instance") << kMovieExportType << "" << false;
    }
    void hasUI()
    {
        QFETCH(OSType, type);
        QFETCH(QString, displayName);
        const ExportComponentEntry* entry = entryNamed(displayName);
        QTEST(QTDX_ComponentHasUI(type, entry ? entry->exporter : ComponentInstance()), "expected");
    }

    void settingsRoundTrip()
    {
        int seen = 0;
        std::optional<QByteArray> settings = runDialog(std::nullopt, [](ExportSettingsDialog* dialog) {
            QCOMPARE(dialog->propertyNames(), QStringList({"fast-start", "interval", "mode", "options", "label"}));
            auto* fast = dialog->findChild<QCheckBox*>(QStringLiteral("fast-start"));
            QCOMPARE(fast->checkState(), Qt::PartiallyChecked);
            fast->setCheckState(Qt::Checked);
            dialog->findChild<QSpinBox*>(QStringLiteral("interval"))->setValue(42);
            dialog->findChild<QCheckBox*>(QStringLiteral("chapters"))->setChecked(true);
            dialog->accept();
        }, &seen);
        QCOMPARE(seen, 1);
        QVERIFY(settings);
        // Untouched properties are not written.
        QVERIFY(!settings->contains("label"));
        QVERIFY(!settings->contains("mode"));
        // The exporter itself takes the accepted choice: an export with it uses it.
        gint chosen = 0;
        g_object_get(movie()->exporter.element(), "interval", &chosen, nullptr);
        QCOMPARE(chosen, 42);

        // Passed in again, the settings reach the exporter and the dialog shows them; the
        // result keeps them beside what the user changes now.
        settings = runDialog(settings, [](ExportSettingsDialog* dialog) {
            QCOMPARE(dialog->findChild<QSpinBox*>(QStringLiteral("interval"))->value(), 42);
            QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("chapters"))->isChecked());
            auto* label = dialog->findChild<QLineEdit*>(QStringLiteral("label"));
            label->setText(QStringLiteral("Città"));
            Q_EMIT label->textEdited(label->text());
            auto* mode = dialog->findChild<QComboBox*>(QStringLiteral("mode"));
            mode->setCurrentIndex(1);
            Q_EMIT mode->activated(1);
            dialog->accept();
        }, &seen);
        QCOMPARE(seen, 2);
        QVERIFY(settings);
        const ComponentInstance fresh(gst_element_factory_make("qtmux", nullptr));
        QCOMPARE(ApplyExportSettings(fresh, *settings), noErr);
        gboolean fastStart = FALSE;
        gint interval = 0, mode = 0;
        guint options = 0;
        gchar* label = nullptr;
        g_object_get(fresh.element(), "fast-start", &fastStart, "interval", &interval, "mode", &mode,
                     "options", &options, "label", &label, nullptr);
        QCOMPARE(bool(fastStart), true);
        QCOMPARE(interval, 42);
        QCOMPARE(mode, 1);
        QCOMPARE(options, 2u);
        QCOMPARE(QString::fromUtf8(label), QStringLiteral("Città"));
        g_free(label);
        QVERIFY(m_log.isEmpty());
    }

    void cancelledDialogGivesNothingSilently()
    {
        int seen = 0;
        const auto settings = runDialog(std::nullopt, [](ExportSettingsDialog* dialog) {
            dialog->findChild<QSpinBox*>(QStringLiteral("interval"))->setValue(7);
            dialog->reject();
        }, &seen);
        QCOMPARE(seen, 1);
        QVERIFY(!settings);
        QVERIFY(m_log.isEmpty());
    }

    void malformedSettingsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("not a structure") << QByteArray("qtmux, interval=(int");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("embedded zero") << QByteArray("qtmux, interval=(int)5\0x", 24);
        QTest::newRow("unknown property") << QByteArray("qtmux, tempo=(int)5;");
        QTest::newRow("out of range") << QByteArray("qtmux, interval=(int)500;");
        QTest::newRow("wrong type") << QByteArray("qtmux, interval=(string)lots;");
        QTest::newRow("fixed at creation") << QByteArray("qtmux, seed=(int)3;");
        QTest::newRow("name") << QByteArray("qtmux, name=(string)other;");
    }
    void malformedSettingsAreRefused()
    {
        QFETCH(QByteArray, settings);
        gint before = 0;
        g_object_get(movie()->exporter.element(), "interval", &before, nullptr);
        int seen = 0;
        const auto result = runDialog(settings, [](ExportSettingsDialog* dialog) { dialog->reject(); }, &seen);
        QCoreApplication::processEvents();   // let the guard timer run while no dialog shows
        QCOMPARE(seen, 0);
        QVERIFY(!result);
        QCOMPARE(m_log, QStringList{QStringLiteral("Ordinello error: -50 when calling MovieExportDoUserDialog")});
        gint after = 0;
        g_object_get(movie()->exporter.element(), "interval", &after, nullptr);
        QCOMPARE(after, before);
    }

    void realRegistryInvariants()
    {
        QSet<QString> names;
        for (auto it = gComponentDictionaries->cbegin(); it != gComponentDictionaries->cend(); ++it) {
            QVERIFY2(!names.contains(it.key()), qPrintable(it.key()));
            names.insert(it.key());
            QVERIFY2(it->extension.isEmpty() || (it->extension.startsWith(QLatin1Char('.')) && it->extension.size() > 1),
                     qPrintable(it->extension));
            QVERIFY(!it->exporter.isNull());
            QVERIFY(!it.key().contains(QLatin1String("rtp"), Qt::CaseInsensitive));
        }
        if (GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), "qtmux")) {
            gst_object_unref(feature);
            QCOMPARE(entryNamed(QStringLiteral("QuickTime Muxer [MooV,isom]"))->extension, QStringLiteral(".mov"));
            QCOMPARE(entryNamed(QStringLiteral("MP4 Muxer [mpg4,isom]"))->extension, QStringLiteral(".mp4"));
        }
    }
};

int main(int argc, char** argv)
{
    // The registry lives in a temporary folder; without the real registry only this
    // test's plugin is in it.
    QTemporaryDir registryHome;
    qputenv("GST_REGISTRY_1_0", QFile::encodeName(registryHome.filePath(QStringLiteral("registry.bin"))));
    if (!realRegistry()) {
        qputenv("GST_REGISTRY_FORK", "no");   // nothing to scan
        qputenv("GST_PLUGIN_SYSTEM_PATH_1_0", "");
        qputenv("GST_PLUGIN_PATH_1_0", "");
    }
    QApplication app(argc, argv);
    TestExportComponents test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exportcomponents.moc"
