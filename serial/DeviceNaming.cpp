#include "DeviceNaming.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace DeviceNaming {
namespace {

std::string readLine(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The console's own node is listed too, so a link to /dev/console is refused as well.
std::vector<std::string> activeConsoles(const std::string &root)
{
    std::vector<std::string> names{"console"};
    const std::string active = readLine(root + "/sys/class/tty/console/active");
    for (auto it = active.begin(); it != active.end();) {
        const auto end = std::find_if(it, active.end(), [](unsigned char c) { return std::isspace(c); });
        if (end != it)
            names.emplace_back(it, end);
        it = end == active.end() ? end : end + 1;
    }
    return names;
}

std::optional<unsigned> numberAfter(const std::string &name, const std::string &family)
{
    if (name.size() <= family.size() || name.size() > family.size() + 6 || !name.starts_with(family))
        return std::nullopt;
    const std::string digits = name.substr(family.size());
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return static_cast<unsigned>(std::stoul(digits));
}

// The 8250 driver registers ttyS0..ttyS31 whether or not hardware answers; a port without
// a UART reports type 0 (unknown) and is not a port at all.
bool hasUart(const std::string &root, const std::string &name)
{
    const std::string type = readLine(root + "/sys/class/tty/" + name + "/type");
    return !type.empty() && std::all_of(type.begin(), type.end(), [](unsigned char c) { return std::isdigit(c); })
        && std::stoul(type) > 0;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode))
        return a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::vector<std::string> presentDevices(const std::string &root)
{
    const std::vector<std::string> consoles = activeConsoles(root);
    std::vector<std::string> names;
    std::error_code error;
    const std::string dev = root + "/dev/";
    for (const auto &entry : fs::directory_iterator(dev, error))
        names.push_back(entry.path().filename().string());

    std::vector<std::string> devices;
    for (const std::string family : {"ttyS", "ttyUSB", "ttyACM"}) {
        std::vector<std::pair<unsigned, std::string>> found;
        for (const std::string &name : names) {
            const auto number = numberAfter(name, family);
            if (!number || std::find(consoles.begin(), consoles.end(), name) != consoles.end())
                continue;
            if (family == "ttyS" && !hasUart(root, name))
                continue;
            found.emplace_back(*number, name);
        }
        std::sort(found.begin(), found.end());
        for (const auto &[number, name] : found)
            devices.push_back(dev + name);
    }
    return devices;
}

std::optional<Port> portForIndex(int index, const std::string &root)
{
    if (index < 0)
        return std::nullopt;
    // A dangling comN link still names the port: falling back to enumeration would send
    // the bytes to a device the user did not pick.
    const std::string link = "com" + std::to_string(static_cast<long long>(index) + 1);
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0) {
        std::error_code error;
        const fs::path target = fs::read_symlink(link, error);
        return Port{link, error ? link : link + " (" + target.string() + ")"};
    }
    const std::vector<std::string> devices = presentDevices(root);
    if (static_cast<size_t>(index) >= devices.size())
        return std::nullopt;
    return Port{devices[index], devices[index]};
}

bool isConsole(const std::string &path, const std::string &root)
{
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0)
        return false;
    const std::string dev = root + "/dev/";
    for (const std::string &name : activeConsoles(root)) {
        struct stat console {};
        if (::stat((dev + name).c_str(), &console) == 0 && sameFile(target, console))
            return true;
    }
    return false;
}

} // namespace DeviceNaming
