// The files tk358-camsim writes on exit: the received image, parameter writes and bank commands.
// They are opened at start, so that a file that cannot be written is refused before the camera
// runs rather than after an update has gone through it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "sim/camsim/camsim.hpp"

namespace camsim {

namespace {

std::string Seconds(uint64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(us) / 1e6);
    return text;
}

}  // namespace

SaveFiles::~SaveFiles() {
    for (Target& target : m_targets) {
        if (target.file != nullptr) {
            std::fclose(target.file);
        }
    }
}

bool SaveFiles::Open(const Options& options) {
    const std::pair<const std::string*, Content> named[] = {
        {&options.saveImage, Content::Image},
        {&options.saveParams, Content::Parameters},
        {&options.saveBanks, Content::Banks},
    };
    for (const auto& [path, content] : named) {
        if (path->empty()) {
            continue;
        }
        std::FILE* file = std::fopen(path->c_str(), "wb");
        if (file == nullptr) {
            std::cerr << "tk358-camsim: cannot write " << *path << ": " << std::strerror(errno)
                      << "\n";
            return false;
        }
        m_targets.push_back({*path, content, file});
    }
    return true;
}

bool SaveFiles::Write(const sim::VirtualCamera& camera) {
    bool ok = true;
    for (Target& target : m_targets) {
        std::string text;
        switch (target.content) {
            case Content::Image: {
                const auto image = camera.Image();
                text.assign(image.begin(), image.end());
                break;
            }
            case Content::Parameters:
                for (const auto& p : camera.Parameters()) {
                    text += std::to_string(p.number) + " " + std::to_string(p.value) + " " +
                            Seconds(p.atUs) + "\n";
                }
                break;
            case Content::Banks:
                for (const auto& b : camera.Banks()) {
                    text += std::to_string(b.bank) + " " + Seconds(b.atUs) + "\n";
                }
                break;
        }
        const bool written = std::fwrite(text.data(), 1, text.size(), target.file) == text.size();
        const bool closed = std::fclose(target.file) == 0;
        target.file = nullptr;
        if (!written || !closed) {
            std::cerr << "tk358-camsim: cannot write " << target.path << "\n";
            ok = false;
        }
    }
    return ok;
}

}  // namespace camsim
