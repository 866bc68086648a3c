// Camera protocol layer: the camera device interface with its outcome codes, the camera's
// information records, the packet exchange, the camera commands with the link check, and the
// picture store operations.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "serial/serial.hpp"

// ---------------------------------------------------------------------------------------------
// Result codes: what callers of a camera operation see (GetResult).
// ---------------------------------------------------------------------------------------------
enum : int16_t {
    kResultOk = 0,
    kResultBadArgument = -1000,
    kResultWrongState = -1002,
    kResultNotAvailable = -1003,
    kResultCancelled = -1004,
    kResultStoreAbsent = -1005,
    kResultCommFailure = -1006,
    kResultNoMemory = -1011,
    kResultOther = -1020,
    kResultReserved = -1022,  // for status 14, which no operation produces
};

// The result code for a status code.
int16_t ResultForStatus(uint32_t status);

// ---------------------------------------------------------------------------------------------
// Information records.
// ---------------------------------------------------------------------------------------------
constexpr size_t kStatusBlockSize = 126;
using StatusBlock = std::array<uint8_t, kStatusBlockSize>;

struct CameraTime {
    int16_t second = 0;
    int16_t minute = 0;
    int16_t hour = 0;
    int16_t dayOfMonth = 0;  // 1 to 31
    int16_t month = 0;       // 0 to 11
    int16_t year = 0;        // years since 1900
    int16_t dayOfWeek = 0;   // 0 = Sunday
    int16_t dayOfYear = 0;   // 0 to 365
    int16_t isDst = 0;       // daylight-saving flag
};

struct CameraInfo {
    CameraTime clock;
    uint32_t versionDigits = 0;  // major tens, major units, minor tens, minor units, one per byte
    int16_t totalPictures = 0;
    int16_t totalFigure = 0;
    int16_t store0Pictures = 0;
    int16_t store0Figure = 0;
    int16_t store1Pictures = 0;
    int16_t store1Figure = 0;
    int16_t fixed80 = 0;
    int16_t fixed60 = 0;
    int32_t fixed1280 = 0;
    int32_t fixed960 = 0;
};

// The camera ID text: 32 characters and a terminating 0.
constexpr size_t kCameraIdLength = 32;
using CameraIdText = std::array<char, kCameraIdLength + 1>;

struct CameraClockId {
    CameraTime time;
    // The caller's ID text; null when no text is wanted (reading) or none is given.
    CameraIdText* text = nullptr;
};

// Every value decoded from a status block.
struct CameraStatus {
    uint16_t statusByte0 = 0;
    uint16_t stateByte = 0;
    uint32_t versionDigits = 0;
    uint16_t statusWord04 = 0;
    uint16_t statusWord06 = 0;
    std::array<uint16_t, 4> statusBytes08 = {};  // 0x08 to 0x0B
    uint32_t clock = 0;
    uint16_t value10Low = 0;   // bits 0-3 of 0x10
    uint16_t value10High = 0;  // bits 4-5 of 0x10
    uint16_t statusByte11 = 0;
    uint16_t statusByte12 = 0;
    uint16_t modeIndex = 0;
    uint16_t statusByte14 = 0;
    int16_t signedValue15 = 0;
    uint16_t statusByte16 = 0;
    uint16_t statusByte17 = 0;
    uint32_t statusLong18 = 0;
    uint16_t statusByte1D = 0;
    uint8_t storeFlags = 0;                      // bit 7: store 1 present
    std::array<uint16_t, 4> statusBytes1F = {};  // 0x1F to 0x22
    int16_t store0Pictures = 0;
    std::array<int16_t, 4> store0Figures = {};
    int16_t store1Pictures = 0;
    std::array<int16_t, 4> store1Figures = {};
    std::array<char, 12> text = {};
    CameraIdText cameraId = {};
    int16_t store0Groups = 0;
    int16_t store1Groups = 0;

    bool Store1Present() const { return (storeFlags & 0x80) != 0; }
};

CameraStatus DecodeStatusBlock(const StatusBlock& block);

// ---------------------------------------------------------------------------------------------
// Values of the camera line that the layers above use as well.
// ---------------------------------------------------------------------------------------------
namespace wire {

constexpr uint8_t kAccepted = 0xD1;  // the camera takes a command; the host takes a greeting answer
constexpr int kWriteTimeoutMs = 200;  // every write of the host
constexpr int kCompletionMs = 3000;   // completion byte of an ordinary command
constexpr int kBaseSpeedCode = 96;    // 9,600 bit/s: where a break brings the camera back

}  // namespace wire

// Camera clock (half-seconds since 1994-01-01 00:00:00 local standard time) to calendar time in
// standard time (daylight-saving flag 0). Clock 0 is 1994-01-01 00:00:00 in every zone.
CameraTime CameraTimeFromClock(uint32_t clock);
// Calendar time to the camera clock, out-of-range fields normalised; with the daylight-saving
// flag set (or negative and summer time in force) the zone's summer shift for that date is taken
// off. A reading converts back to itself.
uint32_t ClockFromCameraTime(const CameraTime& time);

// Builds `info` from decoded values. The two store-figure fields keep what `info` held when
// the mode index selects no figure.
void FillCameraInfo(const CameraStatus& status, CameraInfo* info);

// ---------------------------------------------------------------------------------------------
// Picture store records.
// ---------------------------------------------------------------------------------------------
using NameField = std::array<char, 15>;
constexpr size_t kNameFieldBytes = std::tuple_size_v<NameField>;
using NameTable = std::array<NameField, 8>;

struct GroupEntry {
    NameField name = {};
    int32_t itemCount = 0;
};

using ItemName = std::array<char, 15>;

// True when the 15-byte field holds a name the camera accepts.
bool NameIsValid(const NameField& name);

// Layouts of the picture store data on the camera line.
constexpr size_t kNameTableBytes = 256;  // eight 15-byte fields, byte 120 zero, the rest unused
constexpr size_t kGroupNameBytes = 16;   // room per group in the group names data
constexpr size_t kItemCountBytes = 16;   // item count answer: 32-bit big-endian, then unused
constexpr size_t kItemRecordBytes = 20;  // one item of an item list
// A group travels in one parameter byte: no group above this number can be addressed.
constexpr int32_t kMaxAddressableGroup = 255;
// The one rule for group numbers in the picture store operations: every group an operation
// addresses lies between `lowest` (0; 1 for renaming, group 0 has no name) and the store's group
// count `groups` as the status block reports it, and not above kMaxAddressableGroup. An operation
// that would address any other group ends with kResultBadArgument and sends nothing more.
// ReadGroupTable addresses every group from 0 to the count, so a count below 0 or above
// kMaxAddressableGroup ends it with kResultBadArgument as well.
bool GroupAddressable(int32_t group, int32_t lowest, int32_t groups);
// The count field of an item list is 16-bit signed: no list carries more items.
constexpr int32_t kMaxListItems = 32767;

using NameTableBlock = std::array<uint8_t, kNameTableBytes>;

// The name table as sent: the eight fields unchanged at offsets 0, 15, ..., 105; the rest 0.
NameTableBlock BuildNameTableBlock(const NameTable& table);
// The name table as read: the eight fields, each with its last byte set to 0.
NameTable NameTableFromBlock(const NameTableBlock& block);
// Names of a group table: entry 0 all zeros, entry k the 15 bytes at 15 x (k - 1) of `names`
// (zeros where `names` is too short). Item counts are left alone.
void FillGroupNames(std::span<const uint8_t> names, std::span<GroupEntry> entries);
// The item name of a 20-byte item record: bytes 0-6, '.', bytes 8-10, four zeros.
ItemName ItemNameFromRecord(std::span<const uint8_t, kItemRecordBytes> record);
// The group count of a store as the decoded status reports it; nothing when the store is absent
// (store 0 is always present; any other value means store 1).
std::optional<int32_t> StoreGroupCount(const CameraStatus& status, int32_t store);

// ---------------------------------------------------------------------------------------------
// The camera device interface: camera operations in a fixed slot order.
// ---------------------------------------------------------------------------------------------
class CCameraDevice {
  public:
    CCameraDevice() = default;
    virtual ~CCameraDevice() = default;  // slot 0
    CCameraDevice(const CCameraDevice&) = delete;
    CCameraDevice& operator=(const CCameraDevice&) = delete;

    virtual int32_t ReadNameTable(NameTable* out);                                              // 1
    virtual int32_t WriteNameTable(const NameTable& in);                                        // 2
    virtual int32_t SelectName(int16_t index);                                                  // 3
    virtual int32_t ReadGroupTable(int32_t store, std::span<GroupEntry> out);                   // 4
    virtual int32_t GroupCommand(int32_t store, int16_t group);                                 // 5
    virtual int32_t RenameGroup(int32_t store, int16_t group, const NameField& name);           // 6
    virtual int32_t MoveItem(int32_t store, int16_t item, int16_t fromGroup, int16_t toGroup);  // 7
    virtual int32_t ListItems(int32_t store, int16_t group, std::span<ItemName> out);           // 8
    virtual int32_t Open(int32_t speedCode, int32_t portNumber);                                // 9
    virtual int32_t Close();                              // 10
    virtual int32_t CheckLink(int32_t ignored);           // 11
    virtual int32_t ReadClockId(CameraClockId* out);      // 12
    virtual int32_t ReadInfo(CameraInfo* out);            // 13
    virtual int32_t SetSpeed(int32_t speedCode);          // 14
    virtual int32_t SetClockId(const CameraClockId* in);  // 15
    virtual int32_t Reserved16();                         // 16
    virtual int32_t Reserved17(int32_t ignored);          // 17
    virtual int32_t Reserved18(int32_t ignored);          // 18
    virtual int32_t CheckLink19(int32_t ignored);         // 19
    virtual int32_t CheckLink20(int32_t ignored);         // 20
    virtual int32_t Reserved21();                         // 21
    virtual int32_t Reserved22();                         // 22

    int16_t GetResult() const { return m_result; }
    // Maps m_status to m_result, clears m_status and returns the status it read.
    uint32_t FinishOperation();

  protected:
    int32_t m_preferredSpeed = 2304;
    int32_t m_linkSpeed = 96;
    int16_t m_packetSize = 0;
    CameraInfo m_info = {};
    int16_t m_result = 0;
    uint32_t m_status = 0;
};

// ---------------------------------------------------------------------------------------------
// The protocol half of the camera link: packet exchange, commands, link check, records and
// picture store operations over the port half.
// ---------------------------------------------------------------------------------------------
class CCameraProtocol : public CCameraDevice, public CSerialPort {
  public:
    explicit CCameraProtocol(IPortSystem& ports);

    // Picture store operations.
    int32_t ReadNameTable(NameTable* out) override;
    int32_t WriteNameTable(const NameTable& in) override;
    int32_t SelectName(int16_t index) override;
    int32_t ReadGroupTable(int32_t store, std::span<GroupEntry> out) override;
    int32_t GroupCommand(int32_t store, int16_t group) override;
    int32_t RenameGroup(int32_t store, int16_t group, const NameField& name) override;
    int32_t MoveItem(int32_t store, int16_t item, int16_t fromGroup, int16_t toGroup) override;
    int32_t ListItems(int32_t store, int16_t group, std::span<ItemName> out) override;

    // Camera commands.
    int32_t Open(int32_t speedCode, int32_t portNumber) override;
    int32_t Close() override;
    int32_t CheckLink(int32_t ignored) override;
    int32_t ReadClockId(CameraClockId* out) override;
    int32_t ReadInfo(CameraInfo* out) override;
    int32_t SetSpeed(int32_t speedCode) override;
    int32_t SetClockId(const CameraClockId* in) override;
    int32_t CheckLink19(int32_t ignored) override;
    int32_t CheckLink20(int32_t ignored) override;

    // Packet exchange; each returns a status code.
    void ClearCommand();
    uint32_t SendCommand();
    uint32_t SendByte(int byte);
    uint32_t ReadAck(int acceptByte, int refuseByte);
    uint32_t ReadCompletion(int timeoutMs);
    uint32_t ReceiveBlock(uint8_t* dst, int count);
    uint32_t SendBlock(const uint8_t* src, int count, int control);
    uint32_t ReceivePayload(uint8_t* dst, int length, int frameLength);
    uint32_t SendPayload(const uint8_t* src, int length, int frameLength);
    uint32_t SendDataPacket(const uint8_t* src, int count);
    uint32_t DrainLine();

    // Command steps; each leaves its outcome in m_status and runs only while it is 0.
    void StatusRequest();
    void Decode();
    void SpeedChange(int speedCode);
    void LinkCheck();
    void StepDownSearch();
    // Runs one command exchange (steps 1-4 of an exchange) with an optional data phase.
    // `in` receives `inLength` bytes in packets of `frameLength`; `out` sends `outLength` bytes.
    void RunCommand(uint8_t opcode, const uint8_t params[5], uint8_t* in, int inLength,
                    const uint8_t* out, int outLength, int frameLength, int completionMs);

    // The speed command alone, returning its status (1 for a code not in the table, 13 when the
    // camera did not acknowledge) without touching m_status.
    uint32_t SpeedCommandStatus(int speedCode);

    const CameraStatus& DecodedStatus() const { return m_camera; }

  protected:
    // Steps of the picture store operations.
    // Link check, status request, decode and store check. Returns the operation's return value
    // when it ends here; otherwise nothing, with the store's group count in `groups`.
    std::optional<int32_t> OpenStore(int32_t store, int32_t* groups);
    // OpenStore, then the group rule (GroupAddressable) for every group in `addressed`, each at
    // least `lowest`.
    std::optional<int32_t> OpenStoreGroups(int32_t store, std::initializer_list<int32_t> addressed,
                                           int32_t lowest);
    // A command with the store in parameter byte 1 (`params` are bytes 1-5; byte 1 is set here).
    // A store other than 0 or 1 sets status 1 and sends nothing.
    void RunStoreCommand(uint8_t opcode, int32_t store, std::array<uint8_t, 5> params, uint8_t* in,
                         int inLength, const uint8_t* out, int outLength, int frameLength,
                         int completionMs);
    // Command 0x45: the item count of a group, or 0 when the command delivered none.
    int32_t ReadItemCount(int32_t store, int32_t group);
    // Ends an operation with a result code written directly (m_status stays 0); returns it.
    int32_t EndWithResult(int16_t result);

  protected:
    CameraStatus m_camera;                  // what the last status block says
    std::array<uint8_t, 8> m_command = {};  // the command packet
    StatusBlock m_statusBlock = {};
};

// Speed-command digit bytes announced to the camera for a speed code; false for other codes.
bool SpeedDigitsForCode(int speedCode, uint8_t* high, uint8_t* low);
// The next lower speed code of the table, or 0.
int NextLowerSpeedCode(int speedCode);

// ---------------------------------------------------------------------------------------------
// Wire trace: what went over the line, one line per event, for support.
// ---------------------------------------------------------------------------------------------

// Writes the port events of a run as lines "<ms since the trace began>  <event>", in the order
// they happened, and a summary at the end: commands sent, retries, refusals, time-outs, bytes each
// way. Each line is handed to the stream (and flushed) as it is made, so a crash or a pulled
// cable leaves every line in the file. What a run that ends at once would still add (the closing
// of the open port and the summary) is prepared after every line for a watcher, which can write
// it where nothing else may be done (a signal handler).
class CWireTrace {
  public:
    // Writes the heading line (with the calendar time of the start) at once.
    explicit CWireTrace(std::ostream& out);
    ~CWireTrace();  // Finish()
    CWireTrace(const CWireTrace&) = delete;
    CWireTrace& operator=(const CWireTrace&) = delete;

    // Writes the summary; events after it are not written.
    void Finish();
    // False once a write to the stream has failed.
    bool Good() const { return !m_failed; }
    // Calls `watcher` now and after every line with EndingText(); an empty function stops it.
    void WatchEnding(std::function<void(const std::string&)> watcher);
    // The lines that would end the trace now: "close COMn" while a port is open, and the
    // summary, timed at the last line; empty once finished.
    std::string EndingText() const;

    // The events, as the tracing port system reports them.
    void PortOpened(const std::string& name, const std::string& device, bool opened,
                    const std::string& reason);
    void PortClosed(const std::string& name);
    void SettingsSet(const LineSettings& settings, bool ok);
    void BreakSet(bool on, bool ok);
    void QueuesCounted(const QueueCounts& counts);  // remembered for the next purge
    void Purged(bool input, bool output, bool ok);
    void Wrote(uint32_t atMs, const uint8_t* data, uint32_t n, bool ok);
    void Read(const uint8_t* data, uint32_t n, bool ok);
    void TimedOut(WaitFor what, uint32_t wanted, uint32_t queued);

  private:
    void Line(uint32_t atMs, const std::string& text);
    std::string LineText(uint32_t atMs, const std::string& text) const;
    std::string SummaryText() const;
    void Write(const std::string& text);
    // Packet bookkeeping for the summary; each returns whether the event repeats the one before.
    bool CountWrite(const uint8_t* data, uint32_t n);
    bool CountFrameAttempt(uint32_t n);

    std::ostream& m_out;
    uint32_t m_originMs;
    uint32_t m_lastLineMs = m_originMs;
    bool m_finished = false;
    bool m_failed = false;
    std::string m_openPort;  // the port open now ("COM1"), empty while none is
    std::function<void(const std::string&)> m_endingWatcher;

    std::optional<LineSettings> m_settings;  // as last set on the open port
    QueueCounts m_counts;                    // as last reported

    std::vector<uint8_t> m_lastPacket;  // the last write of more than one byte
    bool m_lastPacketIsCommand = false;
    bool m_acceptedSincePacket = false;  // an accepting answer was read since m_lastPacket
    uint32_t m_frameAttempt = 0;         // bytes of the last data packet awaited, 0 after a reply

    uint64_t m_commands = 0;
    uint64_t m_retries = 0;
    uint64_t m_refusals = 0;
    uint64_t m_timeouts = 0;
    uint64_t m_bytesSent = 0;
    uint64_t m_bytesRead = 0;
    uint64_t m_bytesDiscarded = 0;
};

// A port system whose ports report every operation to a wire trace, with the device behind each
// port name and the reason an opening failed.
class CTracingPortSystem final : public IPortSystem {
  public:
    CTracingPortSystem(IPortSystem& inner, CWireTrace& trace);
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    std::unique_ptr<IPortDriver> OpenToSearch(const std::string& name,
                                              PortFailure* failure) override;
    PortMap Ports() override { return m_inner.Ports(); }

  private:
    std::unique_ptr<IPortDriver> Traced(const std::string& name, std::unique_ptr<IPortDriver> port,
                                        PortFailure why, PortFailure* failure);

    IPortSystem& m_inner;
    CWireTrace& m_trace;
};
