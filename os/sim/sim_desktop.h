#pragma once

#include <string>
#include <vector>

#include "os/desktop.h"
#include "os/module.h"

namespace sim {

// The operator's screen for tests: every box shown is recorded (texts in code page 949).
class CSimDesktop : public os::IDesktop {
public:
    struct Box {
        std::string text;
        std::string caption;
    };
    void MessageBoxOk(const char* text, const char* caption) override {
        m_boxes.push_back(Box{text, caption});
    }
    const std::vector<Box>& Boxes() const { return m_boxes; }

private:
    std::vector<Box> m_boxes;
};

class CSimModule : public os::IModule {
public:
    std::string m_strFileName = "C:\\Lodevar\\lodevar.exe";
    std::string FileName(unsigned maxChars) override { return m_strFileName.substr(0, maxChars); }
};

}  // namespace sim
