#pragma once

#include <string>

// The emulator's end of a pseudo-terminal: the master, which the emulator reads and writes, and
// the slave path, which the driver opens as its serial port. The tool keeps a descriptor of the
// slave open itself, so the master never reports a hang-up while no driver has the port open.
class CPtyPort {
public:
    CPtyPort() = default;
    CPtyPort(const CPtyPort&) = delete;
    CPtyPort& operator=(const CPtyPort&) = delete;
    ~CPtyPort() { Close(); }

    // Opens a new pseudo-terminal in raw mode with a non-blocking master. On failure `error`
    // says which call failed and why.
    bool Open(std::string& error);
    void Close();
    bool IsOpen() const { return m_nMaster >= 0; }
    int Master() const { return m_nMaster; }
    const std::string& SlavePath() const { return m_strSlavePath; }

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    std::string m_strSlavePath;
};

// Points the symbolic link `link` at `target`, replacing a link that is there. A file of another
// kind at `link` is left alone and reported.
bool PointLink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` if it is a symbolic link.
void RemoveLink(const std::string& link);
