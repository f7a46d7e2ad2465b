#include "app/ChineseTranslations.h"
#include "app/MainWindow.h"
#include "history/Workspace.h"
#include "store/DataFolder.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char* const kHelp =
    "usage: zorvane [--data-dir DIR] [Qt options such as -platform NAME]\n"
    "       zorvane --help | --version\n"
    "The window of Zorvane, the draw history and formula analysis of the Kuai 3 lotteries (in Chinese).\n"
    "It needs a display; zorvane-cli does the same work without one.\n"
    "  --data-dir DIR  the data folder, also --data-dir=DIR (default: $ZORVANE_DATA_DIR, the program's\n"
    "                  folder when it holds formula.mdb, else ~/.local/share/Zorvane)\n"
    "  --help, -h      print this help\n"
    "  --version       print the version\n";

bool argumentGiven(int argc, char* argv[], const char* name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

// The platform the window would use: -platform NAME, else QT_QPA_PLATFORM, else empty (the desktop's).
std::string platformOf(int argc, char* argv[])
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    const char* env = std::getenv("QT_QPA_PLATFORM");
    return env ? env : "";
}

bool connects(const std::string& path, bool abstract)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof(address.sun_path)) {
        ::close(fd);
        return false;
    }
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

// A local X display (":N", "unix:N") answers on its socket; a remote one is taken as given.
bool xDisplayAnswers(const std::string& display)
{
    std::string rest = display.rfind("unix:", 0) == 0 ? display.substr(4) : display;
    if (rest.empty() || rest[0] != ':')
        return true;
    const std::string number =
        rest.substr(1, rest.find('.') == std::string::npos ? std::string::npos : rest.find('.') - 1);
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return connects(socket, true) || connects(socket, false);
}

bool waylandAnswers(const std::string& name)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string path =
        !name.empty() && name[0] == '/' ? name : std::string(runtime ? runtime : "") + "/" + name;
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Why no window can be shown here, or empty when a display is there. Qt would otherwise abort
// with its own message about reinstalling the application.
std::string missingDisplay(int argc, char* argv[])
{
    const std::string platform = platformOf(argc, argv);
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool hasX = display && *display && xDisplayAnswers(display);
    const bool hasWayland = wayland && *wayland && waylandAnswers(wayland);
    if (platform.rfind("xcb", 0) == 0)
        return hasX ? "" : "没有可用的 X 显示器（DISPLAY）";
    if (platform.rfind("wayland", 0) == 0)
        return hasWayland ? "" : "没有可用的 Wayland 显示器（WAYLAND_DISPLAY）";
    if (!platform.empty())
        return ""; // offscreen, vnc, eglfs and the like need no desktop
    if (hasX || hasWayland)
        return "";
    if ((display && *display) || (wayland && *wayland))
        return "无法连接显示器（DISPLAY=" + std::string(display ? display : "") +
               "，WAYLAND_DISPLAY=" + std::string(wayland ? wayland : "") + "）";
    return "没有找到显示器（没有设置 DISPLAY 或 WAYLAND_DISPLAY）";
}

} // namespace

int main(int argc, char* argv[])
{
    // What needs no display is answered before Qt looks for one.
    if (argumentGiven(argc, argv, "--help") || argumentGiven(argc, argv, "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argumentGiven(argc, argv, "--version")) {
        std::printf("zorvane %s\n", ZORVANE_VERSION);
        return 0;
    }
    const std::string missing = missingDisplay(argc, argv);
    if (!missing.empty()) {
        std::fprintf(
            stderr,
            "zorvane: %s，窗口无法打开。请在图形桌面中启动，或在虚拟显示器中运行 xvfb-run -a zorvane；"
            "不需要显示器的命令行程序是 zorvane-cli。\n",
            missing.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane"));
    ChineseTranslations::install(&app); // without them the standard buttons stay in English
    QStringList args = QApplication::arguments();
    const QString dataDir = DataFolder::takeOption(&args);

    Workspace workspace;
    QString error;
    workspace.open(dataDir, &error);
    MainWindow window(&workspace, error);
    window.showForScreen();
    return QApplication::exec();
}
