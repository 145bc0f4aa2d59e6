// corvane2-capture ADAPTER: opens one adapter with the capture right this file was given, gives up every
// capability, and writes the adapter's TCP frames to standard output as a pcap stream until standard input closes.

#include "CaptureSettings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <linux/capability.h>
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool listed(const char *name)
{
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t *adapters = nullptr;
    if (pcap_findalldevs(&adapters, errorBuffer) == -1) {
        return false;
    }
    bool found = false;
    for (const pcap_if_t *adapter = adapters; adapter && !found; adapter = adapter->next) {
        found = std::strcmp(adapter->name, name) == 0;
    }
    pcap_freealldevs(adapters);
    return found;
}

bool dropCapabilities()
{
    // Dropping from the bounding set needs CAP_SETPCAP, which this file is not given: refused is fine there.
    for (int capability = 0; prctl(PR_CAPBSET_READ, capability) >= 0; ++capability) {
        if (prctl(PR_CAPBSET_DROP, capability) != 0 && errno != EPERM) {
            return false;
        }
    }
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct none[2] {};
    return prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) == 0 && syscall(SYS_capset, &header, none) == 0
        && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

pcap_t *openAdapter(const char *name, int &exitCode)
{
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_t *handle = pcap_create(name, errorBuffer);
    if (!handle) {
        std::fprintf(stderr, "corvane2-capture: %s\n", errorBuffer);
        exitCode = 1;
        return nullptr;
    }
    pcap_set_snaplen(handle, CaptureSettings::snapshotLength);
    pcap_set_promisc(handle, 0);
    pcap_set_timeout(handle, CaptureSettings::readTimeoutMs);
    pcap_set_immediate_mode(handle, 1);
    pcap_set_buffer_size(handle, CaptureSettings::kernelBufferBytes);
    const int status = pcap_activate(handle);
    if (status < 0) {
        const char *text = pcap_geterr(handle);
        std::fprintf(stderr, "corvane2-capture: %s\n", *text ? text : pcap_statustostr(status));
        exitCode = status == PCAP_ERROR_PERM_DENIED ? CaptureSettings::helperNotPermitted : 1;
        pcap_close(handle);
        return nullptr;
    }
    bpf_program program;
    if (pcap_compile(handle, &program, CaptureSettings::filter, 1, 0) == -1 || pcap_setfilter(handle, &program) == -1) {
        std::fprintf(stderr, "corvane2-capture: %s\n", pcap_geterr(handle));
        exitCode = 1;
        pcap_close(handle);
        return nullptr;
    }
    pcap_freecode(&program);
    if (pcap_setnonblock(handle, 1, errorBuffer) == -1) {
        std::fprintf(stderr, "corvane2-capture: %s\n", errorBuffer);
        exitCode = 1;
        pcap_close(handle);
        return nullptr;
    }
    return handle;
}

bool inputOpen(short events)
{
    if ((events & POLLIN) != 0) {
        char ignored[256];
        return read(STDIN_FILENO, ignored, sizeof ignored) > 0;
    }
    return (events & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || !listed(argv[1])) {
        std::fprintf(stderr, "corvane2-capture: expected the name of one adapter that libpcap lists\n");
        return CaptureSettings::helperRefusedName;
    }
    int exitCode = 0;
    pcap_t *handle = openAdapter(argv[1], exitCode);
    if (!handle) {
        return exitCode;
    }
    if (!dropCapabilities()) {
        std::fprintf(stderr, "corvane2-capture: could not give up its capabilities: %s\n", std::strerror(errno));
        return 1;
    }
    // A program that went away shows as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    pcap_dumper_t *dumper = pcap_dump_fopen(handle, stdout);
    if (!dumper || pcap_dump_flush(dumper) == -1) {
        return 1;
    }
    pollfd watched[2] { { STDIN_FILENO, POLLIN, 0 }, { pcap_get_selectable_fd(handle), POLLIN, 0 } };
    for (;;) {
        if (poll(watched, 2, CaptureSettings::readTimeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        if (!inputOpen(watched[0].revents)) {
            return 0;
        }
        // Every frame goes out at once: the program matches frames as they come.
        if (pcap_dispatch(handle, -1, pcap_dump, reinterpret_cast<u_char *>(dumper)) < 0
            || pcap_dump_flush(dumper) == -1) {
            return 1;
        }
    }
}
