#include "ui/toolkit/UiToolkit.h"

#include "base/LogFile.h"
#include "base/LogTags.h"
#include "ui/toolkit/ListAccessible.h"
#include "ui/toolkit/SkinArchive.h"
#include "ui/toolkit/WindowAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <mutex>

namespace {

std::atomic<UiToolkit::DiagnosticHook> g_hook{nullptr};

SkinArchive& Archive()
{
    static SkinArchive archive;
    return archive;
}

// The archive handed over to be opened on the first read, until it is opened or replaced.
struct PendingArchive {
    std::mutex lock;
    bool waiting = false;
    const void* data = nullptr;
    size_t size = 0;
};

PendingArchive& Pending()
{
    static PendingArchive pending;
    return pending;
}

void ForgetPendingArchive()
{
    PendingArchive& pending = Pending();
    std::lock_guard<std::mutex> guard(pending.lock);
    pending.waiting = false;
}

bool OpenArchive(const void* data, size_t size)
{
    std::string error;
    if (!Archive().Open(data, size, error)) {
        UiToolkit::Diagnose("The skin archive cannot be opened: " + error);
        return false;
    }
    return true;
}

// Opens the archive handed over for later, once, whichever thread reads first.
void OpenPendingArchive()
{
    PendingArchive& pending = Pending();
    std::lock_guard<std::mutex> guard(pending.lock);
    if (!pending.waiting)
        return;
    pending.waiting = false;
    OpenArchive(pending.data, pending.size);
}

struct ImageCache {
    QHash<QString, QPixmap> images;
    QSet<QString> failed;
};

ImageCache& Images()
{
    static ImageCache cache;
    return cache;
}

std::mutex g_quitLock;
bool g_quitPending = false;
int g_quitCode = 0;

}  // namespace

void UiToolkit::SetDiagnosticHook(DiagnosticHook hook)
{
    g_hook.store(hook);
}

void UiToolkit::Diagnose(const std::string& text)
{
    const std::string line = text + '\n';
    DiagnosticHook hook = g_hook.load();
    if (hook != nullptr)
        hook(line);
    else
        WriteLog(Warning, LogTag::kToolkitDiagnose, "%s", line.c_str());
}

bool UiToolkit::SetSkinArchive(const void* data, size_t size)
{
    ReleaseSkinArchive();
    return OpenArchive(data, size);
}

void UiToolkit::SetSkinArchiveOnFirstRead(const void* data, size_t size)
{
    ReleaseSkinArchive();
    PendingArchive& pending = Pending();
    std::lock_guard<std::mutex> guard(pending.lock);
    pending.waiting = true;
    pending.data = data;
    pending.size = size;
}

void UiToolkit::ReleaseSkinArchive()
{
    ForgetPendingArchive();
    Archive().Close();
    Images().images.clear();
    Images().failed.clear();
}

bool UiToolkit::HasSkinArchive()
{
    OpenPendingArchive();
    return Archive().IsOpen();
}

bool UiToolkit::ReadSkinFile(const std::string& name, QByteArray& content)
{
    content.clear();
    std::string bytes;
    std::string error;
    if (name.empty()) {
        Diagnose("A skin file without a name was asked for");
        return false;
    }
    OpenPendingArchive();
    if (!Archive().Read(name, bytes, error)) {
        Diagnose("The skin file \"" + name + "\" cannot be loaded: " + error);
        return false;
    }
    content = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return true;
}

QPixmap UiToolkit::GetImage(const std::wstring& name)
{
    ImageCache& cache = Images();
    const QString key = QString::fromStdWString(name);
    auto found = cache.images.constFind(key);
    if (found != cache.images.constEnd())
        return found.value();
    if (cache.failed.contains(key))
        return QPixmap();
    QByteArray bytes;
    QPixmap pixmap;
    if (ReadSkinFile(key.toStdString(), bytes)) {
        QImage image;
        if (image.loadFromData(bytes))
            pixmap = QPixmap::fromImage(image);
        else
            Diagnose("The image \"" + key.toStdString() + "\" cannot be decoded");
    }
    if (pixmap.isNull()) {
        cache.failed.insert(key);
        return pixmap;
    }
    cache.images.insert(key, pixmap);
    return pixmap;
}

QFont UiToolkit::MakeFont(const std::wstring& face, int pixelSize, bool bold, bool underline, bool italic)
{
    QString family = QString::fromStdWString(face);
    if (family == QStringLiteral("微软雅黑"))
        family = QStringLiteral("Microsoft YaHei");
    QStringList families;
    if (!family.isEmpty())
        families << family;
    families << QStringLiteral("WenQuanYi Micro Hei");
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize > 0 ? pixelSize : 12);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setItalic(italic);
    return font;
}

int UiToolkit::MessageLoop()
{
    {
        std::lock_guard<std::mutex> guard(g_quitLock);
        if (g_quitPending) {
            g_quitPending = false;
            return g_quitCode;
        }
    }
    int code = QApplication::exec();
    std::lock_guard<std::mutex> guard(g_quitLock);
    g_quitPending = false;
    return code;
}

void UiToolkit::PostQuitMessage(int exitCode)
{
    {
        std::lock_guard<std::mutex> guard(g_quitLock);
        g_quitPending = true;
        g_quitCode = exitCode;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return;
    // Behind the events queued so far. A loop that starts later takes the pending quit itself,
    // and then this finds nothing left to do.
    QMetaObject::invokeMethod(
        app,
        [] {
            if (QThread::currentThread()->loopLevel() == 0)
                return;
            int code = 0;
            {
                std::lock_guard<std::mutex> guard(g_quitLock);
                if (!g_quitPending)
                    return;
                g_quitPending = false;
                code = g_quitCode;
            }
            QCoreApplication::exit(code);
        },
        Qt::QueuedConnection);
}

bool UiToolkit::ShellOpen(const std::wstring& target)
{
    const QString text = QString::fromStdWString(target);
    if (text.isEmpty())
        return false;
    const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
    bool opened = url.isValid() && QDesktopServices::openUrl(url);
    if (!opened)
        WriteLog(Warning, LogTag::kToolkitShellOpen, "%s", ("cannot open " + text.toStdString()).c_str());
    return opened;
}

void UiToolkit::EnsureInitialized()
{
    static bool done = false;
    if (done || QCoreApplication::instance() == nullptr)
        return;
    done = true;
    // Windows end explicitly through PostQuitMessage, never because the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    // A native window made for one widget must not make its siblings native too: the controls
    // of a window stay inside its one native window, where its frame handling sees their input.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei"), {QStringLiteral("WenQuanYi Micro Hei")});
    QFont::insertSubstitutions(QStringLiteral("微软雅黑"), {QStringLiteral("WenQuanYi Micro Hei")});
    // The toolkit's own readings for assistive tools, before any widget is read Qt's way (an
    // interface once made is kept for its widget).
    QAccessible::installFactory(&WindowAccessible::Factory);
    QAccessible::installFactory(&ListAccessible::Factory);
}
