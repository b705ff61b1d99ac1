#include "app/uServiceNotify.h"

#include <QtGlobal>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstring>

void NotifyServiceManager(const QByteArray& state) noexcept {
    const QByteArray path = qgetenv("NOTIFY_SOCKET");
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path) return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    if (address.sun_path[0] == '@') address.sun_path[0] = '\0';  // an abstract socket
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
    ::sendto(fd, state.constData(), size_t(state.size()), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&address), length);
    ::close(fd);
}
