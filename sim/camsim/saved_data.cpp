// The files tk358-camsim writes on exit: the received image, parameter writes and bank commands.
#include <cstdio>
#include <iostream>

#include "sim/camsim/camsim.hpp"

namespace camsim {

namespace {

bool WriteFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::cerr << "tk358-camsim: cannot write " << path << "\n";
        return false;
    }
    const bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    const bool closed = std::fclose(file) == 0;
    if (!ok || !closed) {
        std::cerr << "tk358-camsim: cannot write " << path << "\n";
    }
    return ok && closed;
}

std::string Seconds(uint64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(us) / 1e6);
    return text;
}

}  // namespace

bool SaveReceivedData(const sim::VirtualCamera& camera, const Options& options) {
    bool ok = true;
    if (!options.saveImage.empty()) {
        const auto image = camera.Image();
        ok = WriteFile(options.saveImage, std::string(image.begin(), image.end())) && ok;
    }
    if (!options.saveParams.empty()) {
        std::string text;
        for (const auto& p : camera.Parameters()) {
            text += std::to_string(p.number) + " " + std::to_string(p.value) + " " +
                    Seconds(p.atUs) + "\n";
        }
        ok = WriteFile(options.saveParams, text) && ok;
    }
    if (!options.saveBanks.empty()) {
        std::string text;
        for (const auto& b : camera.Banks()) {
            text += std::to_string(b.bank) + " " + Seconds(b.atUs) + "\n";
        }
        ok = WriteFile(options.saveBanks, text) && ok;
    }
    return ok;
}

}  // namespace camsim
