#pragma once
// Archives written by the tests themselves. ZIP (stored), ustar and LZH (-lh0-, header level 0)
// are written byte by byte, so that member names go in exactly as a test spells them (Shift-JIS
// bytes with or without ZIP's UTF-8 flag, UTF-8 in tar); the compressed forms are written with
// libarchive.
#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace archivetest {

struct Member {
  std::string name;  // bytes as stored
  std::string data;
  bool utf8Flag = false;  // ZIP: general purpose bit 11
  char type = '0';        // tar: '0' file, '5' folder, '2' symbolic link
  bool encrypted = false;  // ZIP: general purpose bit 0 (the data is left as it is)
};

inline void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline uint32_t Crc32(const std::string& data) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : data) crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

// CRC-16 as LHA uses it (polynomial 0x8005, reflected, start 0).
inline uint16_t Crc16(const std::string& data) {
  uint16_t crc = 0;
  for (const char ch : data) {
    crc ^= static_cast<unsigned char>(ch);
    for (int k = 0; k < 8; ++k) crc = static_cast<uint16_t>(crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1);
  }
  return crc;
}

// A ZIP whose members are stored (not compressed), in the order given.
inline std::string StoredZip(const std::vector<Member>& members) {
  std::string out, central;
  const uint32_t dosTime = 0, dosDate = (16u << 9) | (1u << 5) | 2u;  // 1996-01-02
  for (const Member& m : members) {
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint32_t crc = Crc32(m.data), size = static_cast<uint32_t>(m.data.size());
    const uint32_t flags = (m.utf8Flag ? 0x0800 : 0) | (m.encrypted ? 0x0001 : 0);
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, flags);
    Put16(out, 0);
    Put16(out, dosTime);
    Put16(out, dosDate);
    Put32(out, crc);
    Put32(out, size);
    Put32(out, size);
    Put16(out, static_cast<uint32_t>(m.name.size()));
    Put16(out, 0);
    out += m.name;
    out += m.data;
    Put32(central, 0x02014b50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, flags);
    Put16(central, 0);
    Put16(central, dosTime);
    Put16(central, dosDate);
    Put32(central, crc);
    Put32(central, size);
    Put32(central, size);
    Put16(central, static_cast<uint32_t>(m.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, m.name.back() == '/' ? 0x10 : 0);
    Put32(central, offset);
    central += m.name;
  }
  const uint32_t centralAt = static_cast<uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(members.size()));
  Put16(out, static_cast<uint32_t>(members.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, centralAt);
  Put16(out, 0);
  return out;
}

// An LZH archive of stored (-lh0-) members with level-0 headers, as the DOS-era LHA wrote them.
inline std::string StoredLzh(const std::vector<Member>& members) {
  std::string out;
  for (const Member& m : members) {
    std::string h = "-lh0-";
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put16(h, 0);                                // time
    Put16(h, (16u << 9) | (1u << 5) | 2u);      // date 1996-01-02
    h.push_back(0x20);                          // attribute: archive
    h.push_back(0x00);                          // header level 0
    h.push_back(static_cast<char>(m.name.size()));
    h += m.name;
    Put16(h, Crc16(m.data));
    unsigned sum = 0;
    for (const char c : h) sum += static_cast<unsigned char>(c);
    out.push_back(static_cast<char>(h.size()));
    out.push_back(static_cast<char>(sum & 0xFF));
    out += h;
    out += m.data;
  }
  out.push_back('\0');
  return out;
}

// A ustar archive; names go in as given (bytes), up to 100 of them.
inline std::string Ustar(const std::vector<Member>& members) {
  std::string out;
  for (const Member& m : members) {
    std::string h(512, '\0');
    auto field = [&h](size_t at, const std::string& text) { h.replace(at, text.size(), text); };
    auto octal = [&](size_t at, size_t width, uint64_t value) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%0*llo", static_cast<int>(width - 1), static_cast<unsigned long long>(value));
      field(at, buf);
    };
    field(0, m.name.substr(0, 100));
    octal(100, 8, m.type == '5' ? 0755 : 0644);
    octal(108, 8, 0);
    octal(116, 8, 0);
    octal(124, 12, m.type == '0' ? m.data.size() : 0);
    octal(136, 12, 820540800);  // 1996-01-02
    field(148, "        ");
    h[156] = m.type;
    if (m.type == '2') field(157, m.data);
    field(257, std::string("ustar\0" "00", 8));
    unsigned sum = 0;
    for (const char c : h) sum += static_cast<unsigned char>(c);
    char check[8];
    std::snprintf(check, sizeof check, "%06o", sum);
    h.replace(148, 7, std::string(check, 6) + '\0');
    out += h;
    if (m.type == '0') {
      out += m.data;
      out.append((512 - m.data.size() % 512) % 512, '\0');
    }
  }
  out.append(1024, '\0');
  return out;
}

// Writes an archive with libarchive: format "zip" (deflate), "7z", "tar" with filter "none",
// "gzip", "bzip2" or "xz". Member names should be ASCII here (libarchive converts them by locale).
inline void WriteWithLibarchive(const std::string& path, const std::string& format, const std::string& filter,
                                const std::vector<Member>& members) {
  archive* a = archive_write_new();
  if (format == "zip") {
    archive_write_set_format_zip(a);
  } else if (format == "7z") {
    archive_write_set_format_7zip(a);
  } else {
    archive_write_set_format_pax_restricted(a);
  }
  if (filter == "gzip") archive_write_add_filter_gzip(a);
  if (filter == "bzip2") archive_write_add_filter_bzip2(a);
  if (filter == "xz") archive_write_add_filter_xz(a);
  if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK)
    throw std::runtime_error(archive_error_string(a));
  for (const Member& m : members) {
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, m.name.c_str());
    archive_entry_set_filetype(e, m.type == '5' ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, m.type == '5' ? 0 : static_cast<la_int64_t>(m.data.size()));
    archive_entry_set_mtime(e, 820540800, 0);
    archive_write_header(a, e);
    if (!m.data.empty() && m.type != '5') archive_write_data(a, m.data.data(), m.data.size());
    archive_entry_free(e);
  }
  archive_write_close(a);
  archive_write_free(a);
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace archivetest
