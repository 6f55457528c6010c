// The machine's own cost of the download's writes, with none of our code in the way: a
// pseudo-terminal pair, a thread asleep in poll() on the far end as the simulator is, and a
// plain write() of 5 bytes every 10 ms. On this kind of virtual machine a write that makes
// the kernel wake the reader on the other, idle processor sometimes stops both processors
// for about 3 ms, in spells that come and go; run before the downloads, it tells whether
// their "writes" figure is the machine's.
// Usage: bench_ptyprobe [writes]   (default 500)

#include "BenchStats.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    const int writes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        std::perror("pty");
        return 1;
    }
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);

    std::atomic<bool> done = false;
    std::thread reader([&] {
        char buffer[256];
        pollfd ready{master, POLLIN, 0};
        while (!done && poll(&ready, 1, 100) >= 0) {
            if (ready.revents & POLLIN)
                (void)!read(master, buffer, sizeof buffer);
        }
    });

    std::vector<double> ms;
    const char record[5] = {'P', '1', '2', '3', '\r'};
    for (int i = 0; i < writes; ++i) {
        usleep(10000);
        const long long start = bench::nowNs();
        if (write(slave, record, sizeof record) != ssize_t(sizeof record))
            std::perror("write");
        ms.push_back(double(bench::nowNs() - start) / 1e6);
    }
    done = true;
    reader.join();

    const bench::Stats s = bench::stats(ms);
    const auto stalled = std::count_if(ms.begin(), ms.end(), [](double t) { return t > 1.0; });
    double sum = 0;
    for (double t : ms)
        sum += t;
    std::printf("pty probe: %d plain writes, ms: median %.3f, p99 %.3f, max %.3f; over 1 ms: %ld; "
                "%.1f ms in all\n",
                s.count, s.median, s.p99, s.max, long(stalled), sum);
    close(slave);
    close(master);
    return 0;
}
