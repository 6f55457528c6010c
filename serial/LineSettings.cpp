#include "LineSettings.h"

#include <cerrno>

namespace LineSettings {

bool sameLine(const termios &a, const termios &b)
{
    constexpr tcflag_t cflags = CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    constexpr tcflag_t iflags = IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK;
    constexpr tcflag_t lflags = ICANON | ECHO | ISIG | IEXTEN;
    return (a.c_cflag & cflags) == (b.c_cflag & cflags) && (a.c_iflag & iflags) == (b.c_iflag & iflags)
        && (a.c_lflag & lflags) == (b.c_lflag & lflags) && (a.c_oflag & OPOST) == (b.c_oflag & OPOST)
        && a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME]
        && cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b);
}

std::optional<speed_t> speedForCode(int32_t baudCode)
{
    switch (baudCode) {
    case 4: return B1200;
    case 5: return B2400;
    case 7: return B9600;
    default: return std::nullopt;
    }
}

std::chrono::nanoseconds byteTime(const termios &settings)
{
    static constexpr struct { speed_t speed; int baud; } known[] = {
        {B300, 300}, {B600, 600}, {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
    };
    int baud = 1200;
    for (const auto &k : known) {
        if (k.speed == cfgetospeed(&settings))
            baud = k.baud;
    }
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

void makeRaw(termios &settings)
{
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

int apply(int fd, const termios &settings)
{
    if (tcsetattr(fd, TCSANOW, &settings) == 0)
        return 0;
    const int error = errno;
    termios applied {};
    if (error == EINVAL && tcgetattr(fd, &applied) == 0 && sameLine(applied, settings))
        return 0;
    return error;
}

} // namespace LineSettings
