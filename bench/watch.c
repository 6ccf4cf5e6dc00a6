/* watch: the host side of the protection-latency figure of scripts/bench.sh.
 * Prints a line for each creation ("C NS") and deletion ("D NS") of
 * autorun.inf in FOLDER, stamped when inotify wakes it, on CLOCK_MONOTONIC_RAW:
 * the clock that Wine's QueryPerformanceCounter reads, so that benchdrv.exe
 * can subtract its own stamps from these. Runs until killed.
 *   watch FOLDER >LOG */
#include <stdio.h>
#include <string.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: watch FOLDER\n", stderr);
        return 2;
    }
    int events = inotify_init();
    if (events < 0 || inotify_add_watch(events, argv[1], IN_CREATE | IN_DELETE) < 0) {
        perror("watch");
        return 1;
    }
    setvbuf(stdout, NULL, _IOLBF, 0); /* each line reaches the log at once */
    for (;;) {
        char buffer[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
        ssize_t got = read(events, buffer, sizeof buffer);
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC_RAW, &now);
        if (got <= 0) {
            perror("watch");
            return 1;
        }
        long long ns = now.tv_sec * 1000000000LL + now.tv_nsec;
        for (char* at = buffer; at < buffer + got;) {
            const struct inotify_event* event = (const struct inotify_event*)at;
            if (event->len && strcmp(event->name, "autorun.inf") == 0) {
                printf("%c %lld\n", (event->mask & IN_CREATE) ? 'C' : 'D', ns);
            }
            at += sizeof *event + event->len;
        }
    }
}
