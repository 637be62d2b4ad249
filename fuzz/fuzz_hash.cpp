// Drives TDynamicHash with a sequence of operations read from the input and holds it, after every
// operation, against the plain model of its rules: every answer, the count, the mode and the
// trace must agree. The keys come from a fixed pool crowded into few buckets (families of byte
// permutations, spellings of one ID in other cases, with spaces, in full width, texts that are
// no ID), so that short inputs already make lists split, sub-tables grow, empty and go.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "analysis/Trace.h"
#include "iddb/DynamicHash.h"
#include "support/PlainHash.h"

namespace {

std::vector<std::string> MakeKeys() {
  std::vector<std::string> keys;
  // Two families that share their letters and digits (one bucket at every level) and two more.
  for (const char* letters : {"ABC", "BCA", "KLM", "XYZ"}) {
    std::string digits = "13579";
    for (int n = 0; n < 90; ++n) {
      keys.push_back(letters + digits);
      std::next_permutation(digits.begin(), digits.end());
    }
  }
  // Plain IDs, many of them in bucket 0 (a '7' and an 'E' make the product divisible by 253).
  uint32_t state = 12345;
  const auto next = [&state] { return state = state * 1103515245u + 12345u; };
  for (int n = 0; n < 600; ++n) {
    std::string id(8, ' ');
    for (int i = 0; i < 3; ++i) id[i] = static_cast<char>('A' + (next() >> 16) % 26);
    for (int i = 3; i < 8; ++i) id[i] = static_cast<char>('0' + (next() >> 16) % 10);
    if (n % 3 == 0) id[0] = 'E', id[4] = '7';
    keys.push_back(id);
    if (n % 5 == 0) {  // the same ID spelt otherwise
      std::string lower = id;
      lower[1] = static_cast<char>(lower[1] + 0x20);
      keys.push_back(lower);
      keys.push_back(" " + id);
      std::string wide;
      for (const char c : id) {
        wide += static_cast<char>(0x82);
        wide += static_cast<char>(c >= 'A' ? 0x60 + (c - 'A') : 0x4F + (c - '0'));
      }
      keys.push_back(wide);
    }
  }
  keys.insert(keys.end(), {"", "NOT AN ID", "abc", std::string(20, 'X')});
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> keys = MakeKeys();
  std::vector<std::string> hashTrace, modelTrace;
  TTrace::Instance().SetObserver([&hashTrace](const std::string& m) { hashTrace.push_back(m); });
  {
    TDynamicHash hash;
    quillet_test::PlainHash model(0, &modelTrace);
    // Three bytes an operation: what to do, and the key.
    for (size_t i = 0; i + 3 <= size; i += 3) {
      const std::string& key = keys[(static_cast<size_t>(data[i + 1]) << 8 | data[i + 2]) % keys.size()];
      const int32_t value = static_cast<int32_t>(i);
      switch (data[i] % 16) {
        case 0: case 1: case 2: case 3: case 4: case 5:
          FUZZ_CHECK(hash.FindOrPut(key, value) == model.FindOrPut(key, value));
          break;
        case 6: case 7: case 8:
          FUZZ_CHECK(hash.Find(key) == model.Find(key));
          break;
        case 9: case 10:
          hash.Put(key, value);
          model.Put(key, value);
          break;
        case 11: case 12: case 13: case 14:
          hash.Remove(key);
          model.Remove(key);
          break;
        default:
          if (data[i] == 255) {
            hash.Clear();
            model.Clear();
          }
      }
      FUZZ_CHECK(hash.Count() == model.Count());
      FUZZ_CHECK(hash.IsBucketMode() == model.IsBucketMode());
    }
    for (const std::string& key : keys) FUZZ_CHECK(hash.Find(key) == model.Find(key));
  }
  TTrace::Instance().SetObserver({});
  FUZZ_CHECK(hashTrace == modelTrace);
  return 0;
}
