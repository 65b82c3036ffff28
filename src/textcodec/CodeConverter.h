#pragma once
// The streaming detector and converter of Japanese text. One CodeConverter
// holds a whole conversion; the tc* functions are the classic interface over
// a converter the caller owns.
//
// Sizes are size_t: long texts are never cut by a narrow count.
// Results of the int functions: 0 success, -1 failure with the error set.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "textcodec/JapaneseCodes.h"

namespace textcodec {

// Error codes (tcError).
enum : int {
    TC_ERR_NONE = 0,
    TC_ERR_INVALID = 22,      // "invalid argument"
    TC_ERR_MEMORY = 12,       // "Memory short or buffer over"
    TC_ERR_MODE = 512,        // "Bad mode"
    TC_ERR_UNDECIDED = 513,   // "In code not determinated"
    TC_ERR_BADCODE = 514,     // "Bad code"
    TC_ERR_AREA = 515,        // "Area short"
    TC_ERR_OVERFLOW = 516,    // input longer than the free space
};

// Text of an error code; empty for 516 and unknown codes.
const char* tcErrorText(int code);

class CodeConverter {
public:
    CodeConverter();

    int Init(size_t bufferSize);
    int SetCode(int inputCode, int outputCode);
    void KeepHalfKana(bool keep) { keepHalfKana_ = keep; }
    void ComposeMarks(bool compose) { composeMarks_ = compose; }
    int Put(const char* data, size_t length);
    // As Put, but when nothing is buffered the bytes are used where they are
    // instead of being copied; they must stay valid until Term or the next
    // Put (which then copies what is left).
    int PutView(const char* data, size_t length);
    int EndInput();

    // Reading a long text in pieces without holding it whole. InputRoom moves
    // the bytes not yet used to the front of the own buffer and gives the
    // free space after them (room: its size); the caller fills some of it and
    // hands the count to Append (as Put) or AppendScan.
    char* InputRoom(size_t& room);
    int Append(size_t length);
    // Detection only, over pieces that are let go once examined: together
    // they settle the code exactly as one Put of the whole text would (the
    // last decided step wins). EndScan then settles an undecided text as
    // EndInput does and leaves the converter empty, converting, ready for the
    // same text again from its start. With a concrete input code both do
    // nothing.
    int AppendScan(size_t length);
    int EndScan();
    // True when no byte still to come can change what the scan settles on;
    // with unlessShiftOrHigh, none but a kana shift (SO or ESC ( I) or a
    // byte above 0x7F.
    bool ScanSettled(bool unlessShiftOrHigh = false) const;
    // While set, Get keeps a composable kana that ends the input for what the
    // next piece brings, as it would inside one long input.
    void MoreInputFollows(bool more) { moreInput_ = more; }
    size_t Get(char* out, size_t size);
    size_t GetRest(char* out, size_t size);
    // At the end of the whole text, after Get: a Shift_JIS or EUC-JP lead
    // byte still waiting for its second byte, as a geta mark (0 bytes when
    // there is none or it does not fit).
    size_t GetLoneLead(char* out, size_t size);
    void Term();

    int Error() const { return error_; }
    // Input code as detected so far (or as set).
    int InputCode() const { return inputCode_; }
    int Phase() const { return phase_; }
    // State labels as in the state table (for tests and diagnostics).
    int DetectionState() const;
    int ConversionState() const;
    // The byte-run shortcuts can be switched off to check them against the
    // plain table walk (tests).
    void SetShortcuts(bool on) { shortcuts_ = on; }

private:
    void Detect();
    // Append the output bytes of one value to dst (at most 6 bytes; Emit at
    // most 12), advancing k.
    void Write(uint16_t value, uint8_t* dst, int& k);
    void Emit(uint16_t value, uint8_t* dst, int& k);
    // The steps of Get. Each appends to out[n..size) and advances n.
    enum class Step { More, InputEnd, OutputFull, Undecided };
    bool TakeStaged(char* out, size_t size, size_t& n); // false: staged bytes do not fit
    void CopySjisRun(char* out, size_t size, size_t& n);
    void CopyPlainRun(char* out, size_t size, size_t& n);
    Step ConvertOne(char* out, size_t size, size_t& n);
    // The value a byte completes under its action (kNothing for none).
    uint16_t TakeByte(char action, uint8_t byte);
    void EndHeldKana(char* out, size_t size, size_t& n);
    int CheckPut(const char* data, size_t length);
    void AfterPut();
    // Counts length more bytes written into the input room; false (with the
    // error set) when there is no such room.
    bool TakeAppended(size_t length);
    void MoveUnconvertedToFront();
    size_t Buffered() const { return end_ - convPos_; }

    int error_ = 0;
    int phase_ = 1;
    int inputCode_ = TC_AUTO;
    int outputCode_ = TC_AUTO;
    int detState_ = 0;  // index into the state table
    int convState_ = 0;
    size_t bufferSize_ = 0;
    std::unique_ptr<uint8_t[]> buffer_;
    bool haveBuffer_ = false;
    const uint8_t* input_ = nullptr; // buffer_, or the caller's bytes after PutView
    bool borrowed_ = false;
    size_t convPos_ = 0; // first byte not yet converted
    size_t detPos_ = 0;  // first byte not yet examined by detection
    size_t end_ = 0;     // end of buffered input
    uint16_t held_ = 0xFFFF;
    int leadState_ = 0; // conversion state before the held lead byte
    std::vector<uint8_t> staged_;
    size_t stagedPos_ = 0;
    bool badCode_ = false;
    bool keepHalfKana_ = false;
    bool composeMarks_ = false;
    int heldKana_ = -1; // row of the composition table, -1 for none
    int shift_ = 1;     // writer shift: 1 ASCII, 3 double-byte, 4 kana
    bool shortcuts_ = true;
    bool moreInput_ = false;
};

// The classic interface, on a converter the caller owns.
int tcInit(CodeConverter& cv, size_t bufferSize);
int tcSetCode(CodeConverter& cv, int inputCode, int outputCode);
void tcKeepHalfKana(CodeConverter& cv, int flag);
void tcComposeMarks(CodeConverter& cv, int flag);
int tcPut(CodeConverter& cv, const char* data, size_t length);
int tcEndInput(CodeConverter& cv);
size_t tcGet(CodeConverter& cv, char* out, size_t size);
size_t tcGetRest(CodeConverter& cv, char* out, size_t size);
void tcTerm(CodeConverter& cv);
int tcError(const CodeConverter& cv);

} // namespace textcodec
