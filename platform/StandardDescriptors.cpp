// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/Platform.h"

namespace krt {

void OpenStandardDescriptors() {
    // A closed descriptor 0, 1 or 2 is taken by the next file opened, so a
    // chip file would become standard output and receive the program's
    // output. Each closed one is opened on /dev/null first: reads see an
    // empty input and writes vanish, as the caller who closed it meant.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        // open gives the lowest free descriptor, which is fd; should it not
        // be, move it there.
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

}  // namespace krt
