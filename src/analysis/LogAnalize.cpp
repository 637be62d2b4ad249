#include "analysis/LogAnalize.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "common/Cp932.h"

namespace {

// Columns a..b of a line (1-based, inclusive); a range past the end yields the part that exists.
std::string_view Cols(std::string_view line, size_t a, size_t b) {
  if (a > line.size() || b < a) return {};
  return std::string_view(line.data() + (a - 1), std::min(b, line.size()) - (a - 1));
}

char Col(std::string_view line, size_t a) { return a <= line.size() ? line[a - 1] : '\0'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The ID test on an 8-byte column range. Such a range can only hold an ID in single-byte
// characters (a full-width one takes two bytes), so most ranges are turned away by their first
// byte, and an ID as the service prints it passes on its shape alone; anything else still gets
// the full test.
inline bool IsIDRange(std::string_view range) {
  if (range.size() != 8 || !IsLetter(range[0])) return false;
  if (IsLetter(range[1]) && IsLetter(range[2]) && IsDigit(range[3]) && IsDigit(range[4]) &&
      IsDigit(range[5]) && IsDigit(range[6]) && IsDigit(range[7]))
    return true;
  return IsNiftyID(range);
}

// Whether the line begins with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() && SameTextAscii(line.substr(0, prefix.size()), prefix);
}

void SetFind(TIDData& find, std::string_view id, std::string_view handle) {
  find.ID.assign(id);
  find.HandleName.assign(handle);
}

// Gates: the line length and a fixed byte or two that every line of a layout has. Each ID
// recogniser starts with its gate, and the scanner tries a recogniser only on lines that pass
// it, so most lines are turned away in a few instructions and without a call.
bool LibraryGate(std::string_view line) { return line.size() >= 40 && line[17] == '/' && line[20] == '/'; }
bool MemberGate(std::string_view line) { return (line.size() == 30 || line.size() == 31) && line[27] == 'O'; }
bool GuestGate(std::string_view line) { return line.size() == 56 && line[34] == '/' && line[43] == ':'; }
bool ConferenceGate(std::string_view line) {
  return (line.size() >= 39 && line[18] == '/' && line[24] == ':') || (line.size() >= 40 && line[5] == '/');
}
bool SentMailGate(std::string_view line) {
  return line.size() >= 37 && line[2] == '/' && line[10] == '/' && line[16] == ':';
}
bool ReceivedMailGate(std::string_view line) {
  return line.size() >= 37 && (line[2] == '/' || (line.size() == 54 && line[42] == '/'));
}

// Whether any ID recogniser of the category could match the line. Most lines pass no gate and
// go straight to the context chain.
bool AnyIDGate(uint8_t category, std::string_view line) {
  switch (category) {
    case fcNone:
      return SentMailGate(line) || ReceivedMailGate(line);
    case fcForum:
    case fcLibrary:
    case fcConference:
      return LibraryGate(line) || MemberGate(line) || ConferenceGate(line);
    case fcRealTime:
    case fcCBSimulator:
      return true;  // chat lines come in too many forms for one gate
    case fcPatio:
    case fcPatioConference:
    case fcPatioGuest:
      return GuestGate(line) || ConferenceGate(line);
    case fcReceivedMail:
      return ReceivedMailGate(line);
    case fcSentMail:
      return SentMailGate(line);
    default:
      return false;
  }
}

// The bytes a context line can start with (see CheckContext).
constexpr std::array<bool, 256> kContextStart = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("\x81" "Pp*MN\x83\x93 ")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

// Reading the log in blocks that stay in the cache while their lines are scanned.
constexpr char kEndOfText = '\x1A';

// Hands out the line-end bytes of [begin, end) in order: CR, and with kAnyEnd LF too. Screen
// lines are short, so rather than searching afresh for every line, each 64-byte stretch is
// compared once into a bit mask and the line ends are then taken from the mask.
template <bool kAnyEnd>
class CRFinder {
 public:
  CRFinder(const char* begin, const char* end) : chunk_(begin), end_(end) { mask_ = MaskAt(chunk_); }

  // The next line end, or nullptr when there is none left.
  const char* Next() {
    while (mask_ == 0) {
      if (end_ - chunk_ <= 64) return nullptr;
      chunk_ += 64;
      mask_ = MaskAt(chunk_);
    }
    const char* cr = chunk_ + __builtin_ctzll(mask_);
    mask_ &= mask_ - 1;
    return cr;
  }

 private:
  static bool IsEnd(char c) { return c == '\r' || (kAnyEnd && c == '\n'); }

  // Bit i set when chunk[i] is a line end; only bytes before end_ count.
  uint64_t MaskAt(const char* chunk) const {
    const size_t n = static_cast<size_t>(std::min<ptrdiff_t>(end_ - chunk, 64));
    uint64_t mask = 0;
#if defined(__SSE2__)
    if (n == 64) {
      const __m128i cr = _mm_set1_epi8('\r');
      [[maybe_unused]] const __m128i lf = _mm_set1_epi8('\n');
      for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + 16 * i));
        __m128i hits = _mm_cmpeq_epi8(bytes, cr);
        if constexpr (kAnyEnd) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, lf));
        const auto bits = static_cast<uint32_t>(_mm_movemask_epi8(hits));
        mask |= uint64_t{bits} << (16 * i);
      }
      return mask;
    }
#endif
    for (size_t i = 0; i < n; ++i)
      if (IsEnd(chunk[i])) mask |= uint64_t{1} << i;
    return mask;
  }

  const char* chunk_;  // start of the 64-byte stretch the mask describes
  const char* end_;
  uint64_t mask_;      // line ends of that stretch not handed out yet
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// ID recognisers

void TLogAnalizingThread::CheckChatLine(std::string_view line, TIDData& find) const {
  // (channel,ID,handle) with channel TALK or 1..30.
  if (Col(line, 1) == '(') {
    size_t comma = 0;
    if (StartsWithNoCase(Cols(line, 2, 6), "TALK,")) {
      comma = 6;
    } else if (line.size() >= 4) {
      const char c2 = line[1], c3 = line[2], c4 = line[3];
      if (c2 >= '1' && c2 <= '9' && c3 == ',')
        comma = 3;
      else if ((c2 == '1' || c2 == '2') && IsDigit(c3) && c4 == ',')
        comma = 4;
      else if (c2 == '3' && c3 == '0' && c4 == ',')
        comma = 4;
    }
    if (comma != 0 && line.size() >= comma + 9 && line[comma + 8] == ',') {
      const std::string_view id = Cols(line, comma + 1, comma + 8);
      if (IsIDRange(id)) {
        // The handle runs up to the first ')' of the line; none means no handle.
        std::string_view handle;
        const size_t close = line.find(')');
        if (close != std::string_view::npos && close + 1 > comma + 9)
          handle = line.substr(comma + 9, close - (comma + 9));
        SetFind(find, id, handle);
        return;
      }
    }
  }
  // Numbered talk line: sequence number, channel, ID, handle.
  if (line.size() >= 20) {
    const std::string_view id = Cols(line, 12, 19);
    if (IsIDRange(id) && IsTalkChannel(Trim(Cols(line, 6, 10))) && IsSmallNumber(Cols(line, 2, 4))) {
      SetFind(find, id, Trim(Cols(line, 21, 60)));
      return;
    }
  }
  // JOB notice: the ID sits at one of three places.
  if (line.size() >= 7 && SameTextAscii(Cols(line, 4, 6), "JOB") && line[2] != ',') {
    for (const auto& [a, b] : {std::pair<size_t, size_t>{28, 35}, {26, 33}, {24, 31}}) {
      const std::string_view id = Cols(line, a, b);
      if (IsIDRange(id)) {
        SetFind(find, id, id);
        return;
      }
    }
  }
  // Message notice from another user.
  if (line.size() >= 16 && Cols(line, 13, 44) == SJ("のユーザーからのメッセージです－")) {
    const std::string_view id = Cols(line, 3, 10);
    if (IsIDRange(id)) SetFind(find, id, id);
  }
}

void TLogAnalizingThread::CheckLibraryLine(std::string_view line, TIDData& find) const {
  if (!LibraryGate(line) || !IsDateYMD(Cols(line, 16, 23))) return;
  const std::string_view id = Cols(line, 7, 14);
  if (IsIDRange(id) && IsNumber(Cols(line, 1, 4)) && IsNumber(Cols(line, 25, 31)) &&
      IsNumber(Cols(line, 33, 36)))
    SetFind(find, id, id);
}

void TLogAnalizingThread::CheckMemberLine(std::string_view line, TIDData& find) const {
  if (!MemberGate(line)) return;
  const std::string_view onOff = Cols(line, 28, 30);
  if (onOff != "OFF" && onOff != "ON ") return;
  const std::string_view id = Cols(line, 1, 8);
  if (IsIDRange(id)) SetFind(find, id, Trim(Cols(line, 11, 26)));
}

void TLogAnalizingThread::CheckGuestLine(std::string_view line, TIDData& find) const {
  if (!GuestGate(line)) return;
  if (!IsDateYMD(Cols(line, 33, 40)) || !IsTimeHMS(Cols(line, 42, 49))) return;
  const std::string_view id = Cols(line, 1, 8);
  if (IsIDRange(id)) SetFind(find, id, Trim(Cols(line, 15, 30)));
}

void TLogAnalizingThread::CheckConferenceLine(std::string_view line, TIDData& find) const {
  if (!ConferenceGate(line)) return;
  if (line.size() >= 39 && line[18] == '/' && line[24] == ':' && IsDateMD(Cols(line, 17, 21)) &&
      IsTimeHM(Cols(line, 23, 27))) {
    const std::string_view id = Cols(line, 8, 15);
    if (IsIDRange(id) && IsNumber(Cols(line, 1, 5))) {
      SetFind(find, id, id);
      return;
    }
  }
  if (line.size() >= 40 && line[5] == '/') {
    const std::string_view id = Cols(line, 13, 20);
    if (IsIDRange(id) && IsNumber(Cols(line, 1, 5)) && IsNumber(Cols(line, 7, 11)))
      SetFind(find, id, Trim(Cols(line, 23, 39)));
  }
}

void TLogAnalizingThread::CheckSentMailLine(std::string_view line, TIDData& find) const {
  if (!SentMailGate(line)) return;
  if (!IsDateMD(Cols(line, 1, 5)) || !IsDateMD(Cols(line, 9, 13)) || !IsTimeHM(Cols(line, 15, 19)))
    return;
  const std::string_view id = Cols(line, 23, 30);
  if (!IsIDRange(id)) return;
  const std::string_view handle = Trim(Cols(line, 37, 76));
  if (handle == SJ("（非公開）")) {
    SetFind(find, id, id);  // not disclosed: the ID stands for the handle
  } else if (handle != "INET GATE") {  // mail through the Internet gateway names nobody
    SetFind(find, id, handle);
  }
}

void TLogAnalizingThread::CheckReceivedMailLine(std::string_view line, TIDData& find) const {
  if (!ReceivedMailGate(line)) return;
  std::string_view id, handle;
  if (line[2] == '/' && IsDateMD(Cols(line, 1, 5)) && IsIDRange(Cols(line, 9, 16))) {
    id = Cols(line, 9, 16);
    handle = Trim(Cols(line, 19, 34));
  } else if (line.size() == 54 && line[42] == '/' && IsDateYMD(Cols(line, 41, 48)) && IsTimeHM(Cols(line, 50, 54)) &&
             IsNumber(Cols(line, 1, 4)) && IsIDRange(Cols(line, 23, 30))) {
    id = Cols(line, 23, 30);
    handle = Trim(Cols(line, 5, 20));
  } else {
    return;
  }
  if (handle != "INET GATE") SetFind(find, id, handle);
}

// ---------------------------------------------------------------------------------------------
// Context recognisers

bool TLogAnalizingThread::CheckPatioEntry(std::string_view line) {
  std::string_view candidate;
  std::string normal;  // holds the candidate when it had to be normalised
  if (Cols(line, 1, 2) == SJ("：") && (SettlePrevLine(), PrevLine == SJ("ID (改行のみ：自分のパティオ)"))) {
    if (line.size() == 2) {
      candidate = MyID;  // only Enter: the user's own PATIO
    } else {
      normal = JNormalize(Cols(line, 3, 82));
      candidate = Trim(normal);
    }
  }
  if (candidate.empty() && StartsWithNoCase(line, SJ("＞MOV ")))
    candidate = Cols(line, 7, 14);
  if (candidate.empty() && StartsWithNoCase(line, "PATIO(N)>MOV "))
    candidate = Cols(line, 14, 21);
  if (candidate.empty() || !IsNiftyID(candidate)) return false;
  ForumData.Category = fcPatio;
  ForumData.Name.assign(candidate);
  return true;
}

bool TLogAnalizingThread::CheckCBBand(std::string_view line) {
  if (line.size() < 21) return false;
  char band = 0;
  if (Cols(line, 1, 20) == "*Welcome to CB Band ")
    band = line[20];
  else if (Cols(line, 1, 22) == SJ("：*Welcome to CB Band "))
    band = Col(line, 23);
  if (band != 'A' && band != 'B' && band != 'C') return false;
  ForumData.Category = fcCBSimulator;
  ForumData.Name = "Band ";
  ForumData.Name += band;
  return true;
}

bool TLogAnalizingThread::CheckForumHeader(std::string_view line) {
  const std::string& open = SJ("＜");
  const std::string& close = SJ("＞");
  if (line.size() < 3 || Cols(line, 1, 2) != open) return false;
  const size_t at = line.find(close);
  if (at == std::string_view::npos || at + 1 < 6) return false;
  const std::string_view heading = Trim(line.substr(at + 2, 80));
  if (heading.empty()) return false;
  if (heading[0] == 'F' || heading[0] == 'S') {
    ForumData.Category = fcForum;
    ForumData.Name.assign(heading);
  } else {
    ForumData.Category = fcNone;
    ForumData.Name.clear();
  }
  return true;
}

bool TLogAnalizingThread::CheckRealTimeStart(std::string_view line) {
  if (line != SJ("－リアルタイム会議開始 (終了:/E)－") && line != SJ("：－リアルタイム会議開始 (終了:/E)－"))
    return false;
  ForumData.Category = fcRealTime;
  return true;
}

bool TLogAnalizingThread::CheckMenuReset(std::string_view line) {
  if (Cols(line, 1, 5) != "MAIL>" && line != "NIFTY-Serve     TOP" && line != "NIFTY SERVE     TOP" &&
      line != SJ("電子メール（1:受信　2:送信　3:送信簿　0:その他　E:終了）") && line != SJ("パティオ    PATIO"))
    return false;
  ForumData.Category = fcNone;
  ForumData.Name.clear();
  return true;
}

bool TLogAnalizingThread::CheckUserIDPrompt(std::string_view line) {
  if (Cols(line, 1, 20) != " Enter User-ID  --->") return false;
  const std::string normal = JNormalize(Cols(line, 21, 100));
  const std::string_view candidate = Trim(normal);
  if (!IsNiftyID(candidate)) return false;
  MyID.assign(candidate);
  return true;
}

bool TLogAnalizingThread::CheckContext(std::string_view line) {
  if (line.size() < 2) return false;  // every context line is longer
  // Every context line starts with one of a few bytes (kContextStart lists them too); only the
  // recognisers that can match a line starting so are tried, in their usual order.
  switch (static_cast<unsigned char>(line[0])) {
    case 0x81:
      // A full-width sign; its second byte tells which recognisers can match.
      switch (static_cast<unsigned char>(line[1])) {
        case 0x46:  // ：
          return CheckPatioEntry(line) || CheckCBBand(line) || CheckRealTimeStart(line);
        case 0x84:  // ＞
          return CheckPatioEntry(line);
        case 0x83:  // ＜
          return CheckForumHeader(line);
        case 0x7C:  // －
          return CheckRealTimeStart(line);
        default:
          return false;
      }
    case 'P':
    case 'p':
      return CheckPatioEntry(line);
    case '*':
      return CheckCBBand(line);
    case 'M':
    case 'N':
    case 0x83:  // パ
    case 0x93:  // 電
      return CheckMenuReset(line);
    case ' ':
      return CheckUserIDPrompt(line);
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// One line, and the whole log

void TLogAnalizingThread::HandleLine(std::string_view line) {
  ++LineNumber;
  HandleLineBody(line);
  PrevLine.assign(line);
}

void TLogAnalizingThread::SettlePrevLine() {
  if (!prevPending_) return;
  PrevLine.assign(pendingPrev_);
  prevPending_ = false;
}

void TLogAnalizingThread::HandleLineBody(std::string_view line) {
  if (line.empty()) return;
  if (!AnyIDGate(ForumData.Category, line)) {
    if (line.size() >= 2 && kContextStart[static_cast<unsigned char>(line[0])]) CheckContext(line);
    return;
  }
  FindOnLine(line);
}

void TLogAnalizingThread::FindOnLine(std::string_view line) {
  TIDData& find = find_;
  find.ID.clear();
  find.HandleName.clear();

  // Every category test uses the category the line started with; a find ends the trying.
  const uint8_t category = ForumData.Category;
  const bool inForum = category >= fcForum && category <= fcRealTime;
  const bool inPatio = category >= fcPatio && category <= fcPatioGuest;
  uint8_t next = category;
  const std::string* nextName = nullptr;

  if (category == fcRealTime || category == fcCBSimulator) CheckChatLine(line, find);
  if (find.ID.empty() && inForum) {
    if (LibraryGate(line)) CheckLibraryLine(line, find);
    if (!find.ID.empty()) {
      next = fcLibrary;
    } else if (MemberGate(line)) {
      CheckMemberLine(line, find);
      if (!find.ID.empty()) next = fcForum;
    }
  }
  if (find.ID.empty() && inPatio && GuestGate(line)) {
    CheckGuestLine(line, find);
    if (!find.ID.empty()) next = fcPatioGuest;
  }
  if (find.ID.empty() && (inForum || inPatio) && ConferenceGate(line)) {
    CheckConferenceLine(line, find);
    if (!find.ID.empty()) next = inForum ? fcConference : fcPatioConference;
  }
  // A mail book keeps being read while its listing runs, not just on its first line.
  if (find.ID.empty() && (category == fcNone || category == fcSentMail) && SentMailGate(line)) {
    CheckSentMailLine(line, find);
    if (!find.ID.empty()) {
      next = fcSentMail;
      nextName = &SJ("送信簿");
    }
  }
  if (find.ID.empty() && (category == fcNone || category == fcReceivedMail) && ReceivedMailGate(line)) {
    CheckReceivedMailLine(line, find);
    if (!find.ID.empty()) {
      next = fcReceivedMail;
      nextName = &SJ("受信簿");
    }
  }

  if (!find.ID.empty()) {
    ForumData.Category = next;
    if (nextName) ForumData.Name.assign(*nextName);
    find.Line = LineNumber;
    foundLine_ = line;
    if (NotifyWindow) NotifyWindow->Found(find, ForumData);
    foundLine_ = {};
  } else if (line.size() >= 2) {
    CheckContext(line);
  }
}

void TLogAnalizingThread::Execute() {
  PrevLine.clear();
  prevPending_ = false;
  LineNumber = 0;
  ReadFailed = false;
  ErrorText.clear();
  try {
    std::unique_ptr<TLogSource> raw = std::move(Source);
    if (!raw) {
      std::string error;
      raw = OpenLogFile(FileName, error);
      if (!raw) {
        ReadFailed = true;
        ErrorText = error;
      }
    }
    if (raw) {
      const std::unique_ptr<TDecodingSource> source = DecodeLogSource(std::move(raw), Encoding);
      // A log converted to Unix line ends: LF, CR and CR LF each end a line.
      const bool anyLineEnd = source->AnyLineEnd();
      const uint64_t fileSize = source->Size();

      block_ = std::make_unique_for_overwrite<char[]>(ReadBlockSize);
      char* const block = block_.get();
      std::string carry;       // the start of a line that runs over the end of a block
      bool skipLF = false;     // a block ended in CR: a LF starting the next one is its pair
      uint64_t bytesRead = 0;
      bool atEnd = false;
      bool stopped = false;

      // Handles one complete line; a line gathered in `carry` moves into PrevLine by a swap.
      auto line = [&](std::string_view text, bool fromCarry) {
        ++LineNumber;
        HandleLineBody(text);
        if (fromCarry) {
          prevPending_ = false;
          PrevLine.swap(carry);
          carry.clear();
        } else {
          pendingPrev_ = text;
          prevPending_ = true;
        }
      };

      // The lines of [p, end); the part after the last line end goes into `carry`.
      auto lines = [&]<bool kAnyEnd>(const char* p, const char* end) {
        CRFinder<kAnyEnd> crs(p, end);
        while (p < end) {
          const char* cr = crs.Next();
          if (!cr) {
            carry.append(p, static_cast<size_t>(end - p));
            break;
          }
          if (Terminated.load(std::memory_order_relaxed)) {
            stopped = true;
            break;
          }
          if (carry.empty()) {
            line(std::string_view(p, static_cast<size_t>(cr - p)), false);
          } else {
            carry.append(p, static_cast<size_t>(cr - p));
            line(carry, true);
          }
          p = cr + 1;
          if (kAnyEnd && *cr == '\n') continue;
          if (p < end) {
            if (*p == '\n') {
              ++p;
              if constexpr (kAnyEnd) crs.Next();  // the LF of this CR LF
            }
          } else if (!atEnd) {
            skipLF = true;
          }
        }
      };

      while (!atEnd) {
        if (Terminated.load(std::memory_order_relaxed)) {
          stopped = true;
          break;
        }
        SettlePrevLine();  // the buffer is about to be overwritten
        const ssize_t n = source->Read(block, ReadBlockSize);
        if (n < 0) {
          ReadFailed = true;
          ErrorText = source->ErrorText;
          stopped = true;  // an unfinished line of a broken read is not handled
          break;
        }
        if (n == 0) break;
        bytesRead += static_cast<uint64_t>(n);

        const char* p = block;
        const char* end = p + n;
        if (skipLF) {
          if (*p == '\n') ++p;
          skipLF = false;
        }
        if (const void* eot = std::memchr(p, kEndOfText, static_cast<size_t>(end - p))) {
          end = static_cast<const char*>(eot);  // the input ends here, as if the file did
          atEnd = true;
        }
        if (anyLineEnd)
          lines.template operator()<true>(p, end);
        else
          lines.template operator()<false>(p, end);
        if (stopped) break;
        if (NotifyWindow) {
          // Progress counts the log's own bytes, whatever they were converted to.
          const uint64_t done = source->RawBytesRead();
          NotifyWindow->Progress(done, std::max(fileSize, done));
        }
      }
      // A last line without a line end.
      if (!stopped && !carry.empty() && !Terminated.load(std::memory_order_relaxed))
        line(carry, true);
    }
  } catch (const std::exception& e) {
    // Nothing may keep the end from being reported; the caller learns of the failure.
    ReadFailed = true;
    ErrorText = e.what();
  }
  SettlePrevLine();
  block_.reset();
  if (NotifyWindow) NotifyWindow->End(FileName);
  Terminated = true;
}
