#include "tree/LogOrigin.h"

#include <sys/stat.h>

#include "analysis/LogArchive.h"

namespace {

bool Stat(const std::string& path, uint64_t& size, int64_t& mtimeNs) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

}  // namespace

TLogOrigin StampLogOrigin(const std::string& path, const TForumData& start, TLogEncoding encoding,
                          const std::string& archive, const std::string& member) {
  TLogOrigin origin;
  origin.Path = path;
  origin.Archive = archive;
  origin.Member = member;
  origin.Start = start;
  origin.Encoding = encoding;
  origin.Stamped = Stat(archive.empty() ? path : archive, origin.Size, origin.MTimeNs);
  return origin;
}

TLogChange CheckLogOrigin(const TLogOrigin& origin) {
  uint64_t size = 0;
  int64_t mtime = 0;
  if (!Stat(origin.Archive.empty() ? origin.Path : origin.Archive, size, mtime)) return TLogChange::Vanished;
  if (!origin.Stamped || size != origin.Size || mtime != origin.MTimeNs) return TLogChange::Changed;
  return TLogChange::Same;
}

std::unique_ptr<TLogSource> OpenLogForReread(const TLogOrigin& origin, std::string& error) {
  if (origin.Archive.empty()) return OpenLogFile(origin.Path, error);
  // A member: found again by its name, reading the archive from its start.
  auto archive = std::make_shared<TLogArchive>(origin.Archive);
  TArchiveMember member;
  while (archive->NextLog(member))
    if (member.Name == origin.Member) return OpenArchiveMember(std::move(archive), member);
  error = archive->Failed() ? archive->ErrorText() : "no such member: " + origin.Member;
  return nullptr;
}
