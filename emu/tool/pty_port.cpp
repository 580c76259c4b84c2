#include "emu/tool/pty_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string Failure(const char* call) {
    return std::string(call) + ": " + std::strerror(errno);
}

}  // namespace

bool CPtyPort::Open(std::string& error) {
    Close();
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_nMaster < 0) {
        error = Failure("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0 ||
        ptsname_r(m_nMaster, name, sizeof(name)) != 0) {
        error = Failure("grantpt/unlockpt/ptsname_r");
        Close();
        return false;
    }
    m_strSlavePath = name;
    m_nSlave = open(name, O_RDWR | O_NOCTTY);
    if (m_nSlave < 0) {
        error = Failure("open slave");
        Close();
        return false;
    }
    termios settings{};
    if (tcgetattr(m_nSlave, &settings) != 0) {
        error = Failure("tcgetattr");
        Close();
        return false;
    }
    cfmakeraw(&settings);
    if (tcsetattr(m_nSlave, TCSANOW, &settings) != 0) {
        error = Failure("tcsetattr");
        Close();
        return false;
    }
    int flags = fcntl(m_nMaster, F_GETFL);
    if (flags < 0 || fcntl(m_nMaster, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Failure("fcntl");
        Close();
        return false;
    }
    return true;
}

void CPtyPort::Close() {
    if (m_nSlave >= 0) {
        close(m_nSlave);
        m_nSlave = -1;
    }
    if (m_nMaster >= 0) {
        close(m_nMaster);
        m_nMaster = -1;
    }
}

bool PointLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            error = link + " exists and is not a symbolic link";
            return false;
        }
        if (unlink(link.c_str()) != 0) {
            error = Failure("unlink");
            return false;
        }
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = Failure("symlink");
        return false;
    }
    return true;
}

void RemoveLink(const std::string& link) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        unlink(link.c_str());
    }
}
