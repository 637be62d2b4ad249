#include "iddb/ImportOther.h"

#include <memory>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "iddb/PickEngine.h"

using quillet::Copy;

namespace {

constexpr std::string_view kDatExtension = ".dat";
constexpr std::string_view kLstExtension = ".lst";
constexpr std::string_view kIdbExtension = ".idb";

std::string Field(std::string_view record, size_t position, size_t count) {
  return std::string(Copy(record, position, count));
}

std::string TrimmedField(std::string_view record, size_t position, size_t count) {
  return std::string(Trim(Copy(record, position, count)));
}

using RecordSink = std::function<void(const TImportRecord&)>;

void Deliver(const TImportRecord& record, const RecordSink& onRecord) {
  if (IsNiftyID(record.ID)) onRecord(record);
}

void SetBothDates(TImportRecord& r, std::string year, std::string month, std::string day) {
  r.HasRegistDate = r.HasUpdateDate = true;
  r.RegistYear = r.UpdateYear = std::move(year);
  r.RegistMonth = r.UpdateMonth = std::move(month);
  r.RegistDay = r.UpdateDay = std::move(day);
}

// Fixed-size records side by side on one line, from `start`, taken while more than `minimum`
// bytes remain; a shorter tail is ignored.
template <typename Parse>
void ForEachFixedRecord(std::string_view line, size_t start, size_t size, size_t minimum, Parse parse) {
  for (size_t position = start; position <= line.size() && line.size() - position + 1 > minimum;
       position += size)
    parse(Copy(line, position, size));
}

// A: a 147-byte header, then 147-byte records; two-digit years with the pivot "90".
void ReadLayoutA(std::string_view line, const std::string& group, const RecordSink& onRecord) {
  ForEachFixedRecord(line, 148, 147, 96, [&](std::string_view rec) {
    TImportRecord r;
    r.ID = Field(rec, 1, 8);
    r.Handle = TrimmedField(rec, 9, 20);
    r.Group = group;
    r.HasRegistDate = r.HasUpdateDate = true;
    r.RegistYear = ExpandYear(Copy(rec, 29, 2), "90");
    r.RegistMonth = Field(rec, 32, 2);
    r.RegistDay = Field(rec, 35, 2);
    r.UpdateYear = ExpandYear(Copy(rec, 37, 2), "90");
    r.UpdateMonth = Field(rec, 40, 2);
    r.UpdateDay = Field(rec, 43, 2);
    r.Memo = TrimmedField(rec, 48, 50);
    Deliver(r, onRecord);
  });
}

// B: four-line records as in the ID data file, each with its own group and flags.
void ReadLayoutB(quillet::LineReader& reader, const RecordSink& onRecord) {
  reader.Rewind();
  std::string id, handleLine, memo, attribute;
  while (reader.ReadLine(id)) {
    // A record cut short by the end of the file reads its missing lines as empty.
    if (!reader.ReadLine(handleLine)) handleLine.clear();
    if (!reader.ReadLine(memo)) memo.clear();
    if (!reader.ReadLine(attribute)) attribute.clear();
    TImportRecord r;
    r.ID = id;
    r.Handle = TrimmedField(handleLine, 1, 40);
    r.Alias = Field(handleLine, 41, std::string::npos);
    r.Memo = memo;
    r.Group = Field(attribute, 1, 1);
    r.AutoRegist = attribute.size() >= 2 && attribute[1] == 'A';
    r.HasProfile = attribute.size() >= 3 && attribute[2] == 'P';
    r.HasMemo = attribute.size() >= 20 && attribute[19] == 'M';
    if (attribute.size() >= 11) {
      r.HasRegistDate = true;
      r.RegistYear = Field(attribute, 4, 4);
      r.RegistMonth = Field(attribute, 8, 2);
      r.RegistDay = Field(attribute, 10, 2);
    }
    if (attribute.size() >= 19) {
      r.HasUpdateDate = true;
      r.UpdateYear = Field(attribute, 12, 4);
      r.UpdateMonth = Field(attribute, 16, 2);
      r.UpdateDay = Field(attribute, 18, 2);
    }
    Deliver(r, onRecord);
  }
}

// C: 74-byte records from the start of the first line; one four-digit date for both.
void ReadLayoutC(std::string_view line, const std::string& group, const RecordSink& onRecord) {
  ForEachFixedRecord(line, 1, 74, 73, [&](std::string_view rec) {
    TImportRecord r;
    r.ID = Field(rec, 1, 8);
    r.Handle = TrimmedField(rec, 9, 20);
    r.Memo = TrimmedField(rec, 29, 26);
    r.Group = group;
    SetBothDates(r, Field(rec, 56, 4), Field(rec, 61, 2), Field(rec, 64, 2));
    Deliver(r, onRecord);
  });
}

// D: one tab-separated record per line; two-digit years with the pivot "80".
void ReadLayoutD(quillet::LineReader& reader, const std::string& group, const RecordSink& onRecord) {
  reader.Rewind();
  std::string line;
  std::vector<std::string_view> fields;
  while (reader.ReadLine(line)) {
    line += '\t';
    fields.clear();
    for (size_t start = 0, tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(std::string_view(line).substr(start, tab - start));
    auto field = [&](size_t n) { return n <= fields.size() ? fields[n - 1] : std::string_view(); };

    TImportRecord r;
    r.ID = std::string(field(1));
    r.Handle = std::string(field(2));
    for (size_t n = 3; n <= 8; ++n) {
      r.Memo += ' ';
      r.Memo += field(n);
    }
    r.Group = group;
    const std::string_view registered = field(10);
    const std::string_view updated = field(11);
    r.HasRegistDate = r.HasUpdateDate = true;
    r.RegistYear = ExpandYear(Copy(registered, 1, 2), "80");
    r.RegistMonth = Field(registered, 4, 2);
    r.RegistDay = Field(registered, 7, 2);
    r.UpdateYear = ExpandYear(Copy(updated, 1, 2), "80");
    r.UpdateMonth = Field(updated, 4, 2);
    r.UpdateDay = Field(updated, 7, 2);
    Deliver(r, onRecord);
  }
}

// E: 96-byte records from the start of the first line; one two-digit date (pivot "80") for both.
void ReadLayoutE(std::string_view line, const std::string& group, const RecordSink& onRecord) {
  ForEachFixedRecord(line, 1, 96, 95, [&](std::string_view rec) {
    TImportRecord r;
    r.ID = Field(rec, 1, 8);
    r.Handle = TrimmedField(rec, 9, 40);
    r.Group = group;
    SetBothDates(r, ExpandYear(Copy(rec, 49, 2), "80"), Field(rec, 52, 2), Field(rec, 55, 2));
    r.Memo = TrimmedField(rec, 57, 40);
    Deliver(r, onRecord);
  });
}

// F: a header line, then one fixed record per line with four-digit years.
void ReadLayoutF(quillet::LineReader& reader, const std::string& group, const RecordSink& onRecord) {
  std::string line;
  while (reader.ReadLine(line)) {
    TImportRecord r;
    r.ID = Field(line, 1, 8);
    r.Handle = TrimmedField(line, 10, 20);
    r.Group = group;
    r.HasRegistDate = r.HasUpdateDate = true;
    r.RegistYear = Field(line, 31, 4);
    r.RegistMonth = Field(line, 35, 2);
    r.RegistDay = Field(line, 37, 2);
    r.UpdateYear = Field(line, 46, 4);
    r.UpdateMonth = Field(line, 50, 2);
    r.UpdateDay = Field(line, 52, 2);
    r.Memo = TrimmedField(line, 61, 40);
    Deliver(r, onRecord);
  }
}

}  // namespace

std::string ExpandYear(std::string_view year, std::string_view pivot) {
  return std::string(year > pivot ? "19" : "20") + std::string(year);
}

TImportLayout ChooseImportLayout(std::string_view extension, std::string_view firstLine) {
  if (extension == kDatExtension) {
    if (firstLine.substr(0, 5) == "IDVer") return lyA;
    if (IsNiftyID(firstLine)) return lyB;
    return lyC;
  }
  if (extension == kLstExtension) {
    if (firstLine.size() >= 9 && IsNiftyID(firstLine.substr(0, 8)) && firstLine[8] == '\t') return lyD;
    return lyE;
  }
  if (extension == kIdbExtension) return lyF;
  return lyNone;
}

TImportLayout ReadImportRecords(std::string_view extension, quillet::LineReader& reader,
                                const std::string& group, const RecordSink& onRecord) {
  if (extension != kDatExtension && extension != kLstExtension && extension != kIdbExtension)
    return lyNone;
  std::string first;
  reader.ReadLine(first);  // an empty file reads as one empty line
  const TImportLayout layout = ChooseImportLayout(extension, first);
  switch (layout) {
    case lyA: ReadLayoutA(first, group, onRecord); break;
    case lyB: ReadLayoutB(reader, onRecord); break;
    case lyC: ReadLayoutC(first, group, onRecord); break;
    case lyD: ReadLayoutD(reader, group, onRecord); break;
    case lyE: ReadLayoutE(first, group, onRecord); break;
    case lyF: ReadLayoutF(reader, group, onRecord); break;
    case lyNone: break;
  }
  return layout;
}

int ImportOtherFile(TPickData& store, const std::string& path, const std::string& group,
                    const std::function<void(const TImportRecord&)>& onRecord) {
  const std::string extension = quillet::ExtensionOf(path);
  if (extension != kDatExtension && extension != kLstExtension && extension != kIdbExtension) return 0;
  quillet::LineReader reader(path);
  int used = 0;
  ReadImportRecords(extension, reader, group, [&](const TImportRecord& r) {
    ++used;
    ImportRecord(store, r);
    if (onRecord) onRecord(r);
  });
  return used;
}

void ImportRecord(TPickData& store, const TImportRecord& r) {
  if (!store.Select(r.ID)) {
    store.RegistID(r.ID, r.Handle, r.Alias, r.Memo, r.Group, r.AutoRegist, r.HasMemo, nullptr,
                   r.HasProfile, nullptr);
    if (r.HasRegistDate) store.SetRegistDate(r.ID, r.RegistYear, r.RegistMonth, r.RegistDay);
    if (r.HasUpdateDate) store.SetUpdateDate(r.ID, r.UpdateYear, r.UpdateMonth, r.UpdateDay);
  }
}

std::string ImportGroupFromAnswer(std::string_view answer) {
  const std::string normalized = JNormalize(answer);
  const std::string_view trimmed = Trim(normalized);
  return trimmed.empty() ? std::string() : std::string(trimmed.substr(0, 1));
}
