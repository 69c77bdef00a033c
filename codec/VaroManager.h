// VaroManager: the field table of one Varo message, its wire frame builder and
// its frame parser.
//
// One object holds one message. Field data are byte strings: std::string used
// as a byte container, every one of the 256 byte values kept as it is.
// The object keeps no global state and is not thread-safe; the console makes a
// fresh one for each message it builds or parses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#if defined(VAROMGR_BUILDING)
#define VAROMGR_API __attribute__((visibility("default")))
#else
#define VAROMGR_API
#endif

class VAROMGR_API VaroManager {
public:
    // Called by GetOutput once before each field is encoded when MakeDoEvents
    // is true, so a host can keep its user interface responsive while a large
    // message is built. The hook must not touch this object.
    using EventHook = std::function<void()>;

    // Results of ProcessMessage. Msg and Remainder afterwards:
    //   Parsed, DuplicateId, BadCheckByte, ShortRecord, DataOverrun,
    //   BadLength: Msg = the frame alone, Remainder = the bytes after it;
    //   NoStartByte, Incomplete: Msg unchanged, Remainder = all of Msg.
    enum Result : int16_t {
        Parsed = 0,        // a complete, valid frame; all fields added
        NoStartByte = 1,   // first byte is not 0x01; nothing consumed
        DuplicateId = 2,   // a field ID repeats; the fields before it were added
        Incomplete = 3,    // fewer than 6 bytes, or fewer than L + 6
        BadCheckByte = 4,  // check byte neither 0x2C nor the XOR of the frame
        ShortRecord = 5,   // fewer than 6 body bytes where a field record starts
        DataOverrun = 6,   // a field's data length runs past the body
    };

    VaroManager();
    ~VaroManager();
    VaroManager(const VaroManager &) = default;
    VaroManager &operator=(const VaroManager &) = default;
    VaroManager(VaroManager &&) noexcept = default;
    VaroManager &operator=(VaroManager &&) noexcept = default;

    void setProcessEvents(EventHook hook);

    uint8_t getProtocolVersion() const;   // always 1
    void Reset();

    // 0 = appended; 2 = an entry with this ID exists, table unchanged.
    int16_t AddField(int16_t FieldID, const std::string &FieldData);
    // Replaces the data of the entry with this ID in place, or appends one.
    void UpdateField(int16_t FieldID, const std::string &FieldData);

    std::string GetFieldData(int16_t FieldID, const std::string &Default = {}) const;
    // FieldIndex is 1-based.
    std::string GetFieldDataByIndex(int16_t FieldIndex, const std::string &Default = {}) const;
    int16_t GetFieldIDByIndex(int16_t FieldIndex) const;   // -1 when out of range
    int16_t getFieldIndex(int16_t FieldID) const;          // 1-based, or -1
    bool FieldExists(int16_t FieldID) const;
    int16_t getFieldCount() const;

    // The frame of the current table: 0x01, body length, field records, and
    // the XOR check byte (DoCRC) or 0x2C. Does not change the table.
    std::string GetOutput(bool DoCRC, bool MakeDoEvents = true) const;

    // Parses one frame from the front of Msg and appends its fields with
    // AddField (the table is not emptied first). See Result for what Msg and
    // Remainder hold afterwards.
    int16_t ProcessMessage(std::string &Msg, std::string &Remainder);

private:
    // The field table and its ID index are the codec's own (VaroManager.cpp).
    EventHook m_processEvents;
};
