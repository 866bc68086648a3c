// Standard streams on Windows: a console is written in UTF-16 with WriteConsoleW and read with
// ReadConsoleW, so that every character of the program's UTF-8 text shows, and every character
// typed arrives, whatever the console's code page. (The UTF-8 code page manifest would cover only
// Windows 10 1903 and later, and consoles still show the code page's characters only.) Redirected
// streams carry UTF-8 bytes as they are.
#include <windows.h>

#include <array>
#include <cstring>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>

#include "app/app.hpp"
#include "app/win32_utf8.hpp"

namespace {

constexpr size_t kWriteBufferBytes = 1024;
constexpr DWORD kReadChars = 512;
// A read cut short (Ctrl+C, or a cancelled wait) is tried again this often before it counts as
// the end of the input; a stop request meanwhile ends the run.
constexpr int kAbortedReadTries = 8;
constexpr wchar_t kEndOfInput = L'\x1a';  // Ctrl+Z at the start of a line

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// UTF-8 bytes to a console: collected, then written as UTF-16 at each flush; a character cut
// short at a flush waits for the rest of its bytes.
class CConsoleWriter final : public std::streambuf {
  public:
    explicit CConsoleWriter(HANDLE console) : m_console(console) {
        setp(m_buffer, m_buffer + sizeof m_buffer);
    }

  protected:
    int_type overflow(int_type ch) override {
        if (!Flush()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }

    int sync() override { return Flush() ? 0 : -1; }

  private:
    bool Flush() {
        const std::string_view pending(pbase(), static_cast<size_t>(pptr() - pbase()));
        const size_t whole = WholeUtf8Length(pending);
        const std::wstring wide = win32_utf8::ToWide(pending.substr(0, whole));
        bool written = true;
        for (size_t done = 0; written && done < wide.size();) {
            DWORD count = 0;
            written = WriteConsoleW(m_console, wide.data() + done,
                                    static_cast<DWORD>(wide.size() - done), &count, nullptr) != 0 &&
                      count > 0;
            done += count;
        }
        const size_t rest = pending.size() - whole;
        std::memmove(m_buffer, pbase() + whole, rest);
        setp(m_buffer, m_buffer + sizeof m_buffer);
        pbump(static_cast<int>(rest));
        return written;
    }

    HANDLE m_console;
    char m_buffer[kWriteBufferBytes];
};

// A console's typed lines as UTF-8 bytes.
class CConsoleReader final : public std::streambuf {
  public:
    explicit CConsoleReader(HANDLE console) : m_console(console) {}

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        std::wstring wide(m_highSurrogate, m_highSurrogate != 0 ? 1 : 0);
        m_highSurrogate = 0;
        wchar_t chunk[kReadChars];
        DWORD got = 0;
        for (int tries = 0; got == 0 && tries < kAbortedReadTries; ++tries) {
            if (ReadConsoleW(m_console, chunk, kReadChars, &got, nullptr) == 0) {
                got = 0;
            }
            if (got == 0 && GetLastError() != ERROR_OPERATION_ABORTED) {
                break;
            }
        }
        if (got == 0 || chunk[0] == kEndOfInput) {
            return traits_type::eof();
        }
        wide.append(chunk, got);
        // Half of a character beyond the basic plane waits for its other half.
        if (wide.back() >= 0xD800 && wide.back() < 0xDC00) {
            m_highSurrogate = wide.back();
            wide.pop_back();
        }
        m_text = win32_utf8::FromWide(wide);
        setg(m_text.data(), m_text.data(), m_text.data() + m_text.size());
        return m_text.empty() ? underflow() : traits_type::to_int_type(*gptr());
    }

  private:
    HANDLE m_console;
    wchar_t m_highSurrogate = 0;
    std::string m_text;
};

// A standard stream whose buffer was replaced: the new buffer and the one it replaced.
struct Replaced {
    std::ios* stream = nullptr;
    std::unique_ptr<std::streambuf> buffer;
    std::streambuf* found = nullptr;
};
std::array<Replaced, 3> s_replaced;

void Replace(Replaced& slot, std::ios& stream, std::unique_ptr<std::streambuf> buffer) {
    slot.stream = &stream;
    slot.found = stream.rdbuf(buffer.get());
    slot.buffer = std::move(buffer);
}

}  // namespace

CConsoleText::CConsoleText() {
    if (HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE); IsConsole(out)) {
        Replace(s_replaced[0], std::cout, std::make_unique<CConsoleWriter>(out));
    }
    if (HANDLE err = GetStdHandle(STD_ERROR_HANDLE); IsConsole(err)) {
        Replace(s_replaced[1], std::cerr, std::make_unique<CConsoleWriter>(err));
    }
    if (HANDLE in = GetStdHandle(STD_INPUT_HANDLE); IsConsole(in)) {
        Replace(s_replaced[2], std::cin, std::make_unique<CConsoleReader>(in));
    }
}

CConsoleText::~CConsoleText() {
    for (Replaced& slot : s_replaced) {
        if (slot.stream != nullptr) {
            slot.buffer->pubsync();
            slot.stream->rdbuf(slot.found);
            slot = Replaced{};
        }
    }
}
