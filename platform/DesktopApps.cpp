#include "platform/DesktopApps.h"

#include <QDateTime>
#include <QHash>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstring>
#include <mutex>
#include <sys/stat.h>

namespace {

QByteArrayList environmentFolders(const char* variable, const char* fallback)
{
    const QByteArrayList folders = qEnvironmentVariable(variable, QString::fromLatin1(fallback)).toUtf8().split(':');
    QByteArrayList absolute;
    for (const QByteArray& folder : folders) {
        if (folder.startsWith('/'))
            absolute.append(folder);
    }
    return absolute;
}

// Every file and folder whose change can change a default application: the mimeapps.list
// files and their folders, the applications folders (a .desktop file added, removed or replaced changes the
// folder) with their MIME caches, and the MIME databases (type hierarchy).
QByteArrayList defaultsSources()
{
    const QByteArray home = qgetenv("HOME");
    QByteArrayList config = environmentFolders("XDG_CONFIG_HOME", "");
    if (config.isEmpty())
        config.append(home + "/.config");
    config += environmentFolders("XDG_CONFIG_DIRS", "/etc/xdg");
    QByteArrayList data = environmentFolders("XDG_DATA_HOME", "");
    if (data.isEmpty())
        data.append(home + "/.local/share");
    data += environmentFolders("XDG_DATA_DIRS", "/usr/local/share:/usr/share");

    const QByteArrayList desktops = qgetenv("XDG_CURRENT_DESKTOP").toLower().split(':');
    QByteArrayList sources;
    for (const QByteArray& folder : config) {
        sources.append(folder); // a list added or removed
        sources.append(folder + "/mimeapps.list");
        for (const QByteArray& desktop : desktops) {
            if (!desktop.isEmpty())
                sources.append(folder + '/' + desktop + "-mimeapps.list");
        }
    }
    for (const QByteArray& folder : data) {
        for (const char* name : {"/applications", "/applications/mimeapps.list",
                                 "/applications/mimeinfo.cache", "/mime", "/mime/mime.cache"})
            sources.append(folder + name);
    }
    return sources;
}

struct FileStamp {
    qint64 seconds = -1;
    qint64 nanoseconds = 0;
    qint64 size = 0;
    ino_t inode = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stampOf(const QByteArray& path)
{
    struct stat info;
    if (stat(path.constData(), &info) != 0)
        return {};
    return {qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec), qint64(info.st_size), info.st_ino};
}

// Default application names by type, kept while nothing they came from has changed.
// Asking GIO costs a parse of the application's .desktop file for every type that has a
// default (about half a millisecond each on a desktop with large translated files), and a
// mapping table asks for every type the MIME database knows. GLib reads the XDG variables
// once per process; so does this cache.
class DefaultsCache {
public:
    // The kept names when every type is known and nothing changed.
    std::optional<QStringList> kept(const QByteArrayList& contentTypes)
    {
        const std::lock_guard guard(m_lock);
        if (!valid())
            return std::nullopt;
        QStringList result;
        result.reserve(contentTypes.size());
        for (const QByteArray& type : contentTypes) {
            const auto cached = m_names.constFind(type);
            if (cached == m_names.cend())
                return std::nullopt;
            result.append(*cached);
        }
        return result;
    }

    QStringList names(const QByteArrayList& contentTypes)
    {
        const std::lock_guard guard(m_lock);
        if (!valid()) {
            m_names.clear();
            m_applicationFiles.clear();
            m_sourceStamps.clear();
            for (const QByteArray& source : m_sources)
                m_sourceStamps.append(stampOf(source));
        }
        QStringList result;
        result.reserve(contentTypes.size());
        for (const QByteArray& type : contentTypes) {
            auto cached = m_names.constFind(type);
            if (cached == m_names.cend())
                cached = m_names.insert(type, lookUp(type));
            result.append(*cached);
        }
        return result;
    }

private:
    bool valid() const
    {
        if (m_sourceStamps.size() != m_sources.size())
            return false;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (qsizetype i = 0; i < m_sources.size(); ++i) {
            if (!(stampOf(m_sources[i]) == m_sourceStamps[i]) || settling(m_sourceStamps[i], now))
                return false;
        }
        // A default application's own file edited in place (its name changed).
        for (auto file = m_applicationFiles.cbegin(); file != m_applicationFiles.cend(); ++file) {
            if (!(stampOf(file.key()) == file.value()) || settling(file.value(), now))
                return false;
        }
        return true;
    }

    // GIO learns of a change from its file monitors a moment after the change, in its own
    // thread: answers taken while a source is that fresh may predate the change, so they are
    // not kept (as git treats index entries as young as the index itself).
    static bool settling(const FileStamp& stamp, qint64 now)
    {
        constexpr qint64 kSettleSeconds = 5;
        return stamp.seconds >= 0 && stamp.seconds > now - kSettleSeconds;
    }

    QString lookUp(const QByteArray& type)
    {
        if (type.isEmpty() || type.contains('\0'))
            return QString();
        GAppInfo* app = g_app_info_get_default_for_type(type.constData(), FALSE);
        if (!app)
            return QString();
        const QString name = QString::fromUtf8(g_app_info_get_name(app));
        if (G_IS_DESKTOP_APP_INFO(app)) {
            if (const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app)); file && !m_applicationFiles.contains(file))
                m_applicationFiles.insert(QByteArray(file), stampOf(file));
        }
        g_object_unref(app);
        return name;
    }

    std::mutex m_lock;
    const QByteArrayList m_sources = defaultsSources();
    QList<FileStamp> m_sourceStamps;
    QHash<QByteArray, FileStamp> m_applicationFiles;
    QHash<QByteArray, QString> m_names;
};

std::uint32_t creatorCode(GDesktopAppInfo* info)
{
    gchar* value = g_desktop_app_info_get_string(info, kCreatorCodeKey);
    std::uint32_t code = 0;
    // Exactly four bytes, as a classic code is written: "ABCD" or "VfW " (trailing blank kept).
    if (value && std::strlen(value) == 4) {
        for (int i = 0; i < 4; ++i)
            code = code << 8 | std::uint8_t(value[i]);
    }
    g_free(value);
    return code;
}

std::optional<DesktopApplication> describe(GAppInfo* app)
{
    if (!app || !G_IS_DESKTOP_APP_INFO(app))
        return std::nullopt;
    GDesktopAppInfo* info = G_DESKTOP_APP_INFO(app);
    DesktopApplication result;
    if (const char* file = g_desktop_app_info_get_filename(info))
        result.file = file;
    if (const char* id = g_app_info_get_id(app))
        result.id = QString::fromUtf8(id);
    if (const char* name = g_app_info_get_name(app))
        result.name = QString::fromUtf8(name);
    result.creator = creatorCode(info);
    return result;
}

// Where a desktop file stands in the desktop's own order, as GIO reads the folders: 0 in
// the user's data folder, then 1, 2, ... for XDG_DATA_DIRS in order; anywhere else last.
int dataFolderRank(const QByteArray& file)
{
    const auto holds = [&file](const char* folder) {
        QByteArray applications(folder);
        while (applications.endsWith('/'))
            applications.chop(1);
        return file.startsWith(applications + "/applications/");
    };
    if (holds(g_get_user_data_dir()))
        return 0;
    int rank = 1;
    for (const gchar* const* folder = g_get_system_data_dirs(); *folder; ++folder, ++rank) {
        if (holds(*folder))
            return rank;
    }
    return rank;
}

} // namespace

std::optional<DesktopApplication> DefaultApplicationFor(const QByteArray& contentType)
{
    if (contentType.isEmpty() || contentType.contains('\0'))
        return std::nullopt;
    GAppInfo* app = g_app_info_get_default_for_type(contentType.constData(), FALSE);
    std::optional<DesktopApplication> result = describe(app);
    if (app)
        g_object_unref(app);
    return result;
}

namespace {

DefaultsCache& defaultsCache()
{
    static DefaultsCache cache;
    return cache;
}

} // namespace

QStringList DefaultApplicationNames(const QByteArrayList& contentTypes)
{
    return defaultsCache().names(contentTypes);
}

std::optional<QStringList> KeptDefaultApplicationNames(const QByteArrayList& contentTypes)
{
    return defaultsCache().kept(contentTypes);
}

std::optional<DesktopApplication> FindApplicationByCreator(std::uint32_t creator)
{
    if (creator == 0)
        return std::nullopt;
    // GIO lists each desktop id once, from the first data folder that holds it (the user's
    // before the system's): the copy the desktop itself would start. Files of different
    // ids may claim one creator (a copy the user made, an old and a new version), and GIO
    // lists them in its hash tables' order, which changes from run to run: the user's own
    // file wins, then the newest (as the classic lookup took the newest copy), then the
    // earlier data folder and the path, so the answer is always the same.
    struct Candidate {
        DesktopApplication application;
        int rank = 0;
        std::int64_t modified = 0;   // nanoseconds
    };
    const auto better = [](const Candidate& a, const Candidate& b) {
        if ((a.rank == 0) != (b.rank == 0))
            return a.rank == 0;
        if (a.modified != b.modified)
            return a.modified > b.modified;
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.application.file < b.application.file;
    };
    GList* all = g_app_info_get_all();
    std::optional<Candidate> best;
    for (GList* item = all; item; item = item->next) {
        auto* app = static_cast<GAppInfo*>(item->data);
        if (!G_IS_DESKTOP_APP_INFO(app) || creatorCode(G_DESKTOP_APP_INFO(app)) != creator)
            continue;
        Candidate candidate{*describe(app)};
        candidate.rank = dataFolderRank(candidate.application.file);
        struct stat st;
        if (::stat(candidate.application.file.constData(), &st) == 0)
            candidate.modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (!best || better(candidate, *best))
            best = std::move(candidate);
    }
    g_list_free_full(all, g_object_unref);
    if (!best)
        return std::nullopt;
    return std::move(best->application);
}

bool IsApplicationInstalled(const QByteArray& desktopId)
{
    if (desktopId.isEmpty() || desktopId.contains('\0'))
        return false;
    GDesktopAppInfo* info = g_desktop_app_info_new(desktopId.constData());
    if (info)
        g_object_unref(info);
    return info != nullptr;
}

OSStatus LaunchApplication(const QByteArray& desktopId, QString* message)
{
    if (desktopId.isEmpty() || desktopId.contains('\0'))
        return paramErr;
    GDesktopAppInfo* info = g_desktop_app_info_new(desktopId.constData());
    if (!info)
        return fnfErr;
    GError* error = nullptr;
    const bool started = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    g_object_unref(info);
    if (started)
        return noErr;
    if (message)
        *message = error ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    return ioErr;
}
