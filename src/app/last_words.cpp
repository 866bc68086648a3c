// The text a run ended by a stop request still writes, kept where a signal handler may take it:
// two fixed buffers, one being filled while the other is the one published, and an atomic index
// that names the published one and is taken back by one exchange, so that it is written once.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string_view>

#include "app/app.hpp"

namespace {

constexpr size_t kCapacity = 1024;  // the closing of a port and the summary take about 250

struct Words {
    int fd = -1;
    size_t length = 0;
    std::array<char, kCapacity> text{};
};

constinit std::array<Words, 2> s_words{};
constinit std::atomic<int> s_published{-1};  // the buffer to write, -1 when there is none
constinit int s_filling = 0;                 // the buffer Prepare fills next (owner only)

static_assert(std::atomic<int>::is_always_lock_free, "taken in signal handlers");

}  // namespace

namespace last_words {

void Prepare(int fd, std::string_view text) {
    if (fd < 0 || text.empty()) {
        s_published.store(-1);
        return;
    }
    Words& words = s_words[static_cast<size_t>(s_filling)];
    words.fd = fd;
    words.length = std::min(text.size(), words.text.size());
    std::memcpy(words.text.data(), text.data(), words.length);
    s_published.store(s_filling);
    s_filling = 1 - s_filling;
}

bool Take(int* fd, const char** text, size_t* length) {
    const int published = s_published.exchange(-1);
    if (published < 0) {
        return false;
    }
    const Words& words = s_words[static_cast<size_t>(published)];
    *fd = words.fd;
    *text = words.text.data();
    *length = words.length;
    return true;
}

}  // namespace last_words
