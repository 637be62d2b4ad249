#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/Trace.h"
#include "common/Cp932.h"
#include "iddb/DynamicHash.h"
#include "support/PlainHash.h"

namespace {

// Collects the trace messages written while it lives.
class TraceLog {
 public:
  TraceLog() {
    TTrace::Instance().SetObserver([this](const std::string& m) { messages.push_back(m); });
  }
  ~TraceLog() { TTrace::Instance().SetObserver({}); }
  int CountOf(const std::string& m) const { return static_cast<int>(std::count(messages.begin(), messages.end(), m)); }
  std::vector<std::string> messages;
};

std::string IdOf(int n) {
  // Distinct, well-formed IDs: three letters from n / 100000, five digits from n % 100000.
  std::string id(8, ' ');
  int letters = n / 100000;
  for (int i = 2; i >= 0; --i) {
    id[i] = static_cast<char>('A' + letters % 26);
    letters /= 26;
  }
  int digits = n % 100000;
  for (int i = 7; i >= 3; --i) {
    id[i] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  return id;
}

std::vector<std::string> RandomIds(size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> ids;
  std::map<std::string, bool> seen;
  while (ids.size() < count) {
    std::string id = IdOf(static_cast<int>(rng() % (26u * 26u * 26u * 100000u)));
    if (!seen[id]) {
      seen[id] = true;
      ids.push_back(id);
    }
  }
  return ids;
}

}  // namespace

TEST(DynamicHash, SwitchesToBucketsAtTheSixtyFifthKeyKeepingEveryValue) {
  TraceLog trace;
  TDynamicHash hash;
  const std::vector<std::string> ids = RandomIds(65, 1);
  for (int i = 0; i < 64; ++i) hash.Put(ids[i], i * 10);
  EXPECT_FALSE(hash.IsBucketMode());
  EXPECT_EQ(hash.Count(), 64);
  EXPECT_TRUE(trace.messages.empty());

  hash.Put(ids[64], 640);
  ASSERT_TRUE(hash.IsBucketMode());
  ASSERT_FALSE(trace.messages.empty());
  EXPECT_EQ(trace.messages.front(), "ChangeStructure(0)");
  // One sub-table per occupied bucket, each made once; Count is the number of buckets.
  std::map<int32_t, int> buckets;
  for (const auto& id : ids) ++buckets[hash.HashOf(id)];
  EXPECT_EQ(hash.Count(), static_cast<int32_t>(buckets.size()));
  EXPECT_EQ(trace.CountOf("MakeSubHash(1)"), static_cast<int>(buckets.size()));
  EXPECT_EQ(trace.messages.size(), buckets.size() + 1);
  for (int i = 0; i < 65; ++i) EXPECT_EQ(hash.Find(ids[i]), i * 10) << ids[i];

  // Overwriting after the switch goes through the sub-table and adds nothing.
  const size_t messagesBefore = trace.messages.size();
  hash.Put(ids[3], 7);
  hash.Put(ids[64], 8);
  EXPECT_EQ(hash.Find(ids[3]), 7);
  EXPECT_EQ(hash.Find(ids[64]), 8);
  EXPECT_EQ(hash.Find(ids[4]), 40);
  EXPECT_EQ(hash.Count(), static_cast<int32_t>(buckets.size()));
  EXPECT_EQ(trace.messages.size(), messagesBefore);
  EXPECT_EQ(hash.Find("QQQ00000"), -1);
}

TEST(DynamicHash, TopTableStoresOnlyIdShapedKeysAsGiven) {
  TDynamicHash hash;
  hash.Put("ABCD1234", 1);
  EXPECT_EQ(hash.Find("ABCD1234"), -1);
  hash.Put("", 1);
  hash.Put("ABC1234", 1);
  EXPECT_EQ(hash.Count(), 0);

  // The test looks at the normalised key; the key is stored as it came.
  hash.Put("abc12345", 2);
  const std::string wide = quillet::FromUtf8("ＸＹＺ９８７６５");
  hash.Put(wide, 3);
  EXPECT_EQ(hash.Count(), 2);
  EXPECT_EQ(hash.Find("abc12345"), 2);
  EXPECT_EQ(hash.Find(wide), 3);
  EXPECT_EQ(hash.Find("XYZ98765"), -1);  // widths are not folded, only single-byte case

  // Removing an ill-formed key is ignored, whatever it resembles.
  hash.Remove("abc1234");
  EXPECT_EQ(hash.Find("abc12345"), 2);

  // A sub-table tests nothing.
  TDynamicHash sub(1);
  sub.Put("ABCD1234", 5);
  EXPECT_EQ(sub.Find("ABCD1234"), 5);
}

TEST(DynamicHash, LetterCaseIsOneKeyInListModeAndBytesDecideInBucketMode) {
  TDynamicHash hash;
  hash.Put("ABC12345", 1);
  hash.Put("abc12345", 2);  // the same key: overwritten
  EXPECT_EQ(hash.Count(), 1);
  EXPECT_EQ(hash.Find("ABC12345"), 2);
  EXPECT_EQ(hash.Find("aBc12345"), 2);

  // A double-byte character is compared byte for byte: its trail byte is no letter, even
  // where it equals the code of one ('a' vs 'A' after 0x83).
  TDynamicHash sub(1);
  const std::string a("\x83" "a" "X", 3), b("\x83" "A" "X", 3);
  sub.Put(a, 1);
  sub.Put(b, 2);
  EXPECT_EQ(sub.Count(), 2);
  EXPECT_EQ(sub.Find(a), 1);
  EXPECT_EQ(sub.Find(b), 2);
  EXPECT_EQ(sub.Find("\x83" "a" "x"), 1);

  // Once in bucket mode, two case spellings that land in different buckets are two keys.
  TDynamicHash big;
  for (const auto& id : RandomIds(70, 2)) big.Put(id, 0);
  ASSERT_TRUE(big.IsBucketMode());
  ASSERT_NE(big.HashOf("ABC12345"), big.HashOf("abc12345"));
  big.Put("ABC12345", 11);
  big.Put("abc12345", 22);
  EXPECT_EQ(big.Find("ABC12345"), 11);
  EXPECT_EQ(big.Find("abc12345"), 22);
}

TEST(DynamicHash, HashOfIsTheProductOfBytesPlusLevelModulo253) {
  TDynamicHash top(0), sub(1);
  EXPECT_EQ(top.HashOf(""), 1);
  EXPECT_EQ(sub.HashOf(""), 1);
  EXPECT_EQ(top.HashOf("A"), 65);
  EXPECT_EQ(sub.HashOf("A"), 66);
  EXPECT_EQ(top.HashOf("\xff"), 2);  // bytes are unsigned
  EXPECT_EQ(top.HashOf("ABC12345"), 33);
  EXPECT_EQ(sub.HashOf("ABC12345"), 22);
  EXPECT_EQ(top.HashOf("abc12345"), 154);
  EXPECT_EQ(top.HashOf("ZZZ99999"), 190);
  EXPECT_EQ(sub.HashOf("ZZZ99999"), 5);
  for (const auto& id : RandomIds(2000, 3)) {
    EXPECT_GE(top.HashOf(id), 0);
    EXPECT_LE(top.HashOf(id), 252);
  }
}

TEST(DynamicHash, RememberedKeyNeverOutlivesItsValue) {
  TDynamicHash hash;
  EXPECT_EQ(hash.Find("ABC12345"), -1);
  EXPECT_EQ(hash.Find("ABC12345"), -1);  // the remembered miss
  hash.Put("ABC12345", 4);
  EXPECT_EQ(hash.Find("ABC12345"), 4);

  hash.Remove("ABC12345");
  EXPECT_EQ(hash.Find("ABC12345"), -1);

  hash.Put("DEF12345", 5);
  EXPECT_EQ(hash.Find("DEF12345"), 5);
  hash.Clear();
  EXPECT_EQ(hash.Find("DEF12345"), -1);
  EXPECT_EQ(hash.Count(), 0);

  // Removing another spelling of the remembered key removes the entry it names in a list,
  // so the remembered value must go as well.
  hash.Put("GHI12345", 6);
  EXPECT_EQ(hash.Find("GHI12345"), 6);
  hash.Remove("ghi12345");
  EXPECT_EQ(hash.Find("GHI12345"), -1);

  // Removing a key that is absent leaves the others alone.
  hash.Put("JKL12345", 7);
  hash.Remove("MNO12345");
  EXPECT_EQ(hash.Find("JKL12345"), 7);
}

TEST(DynamicHash, EmptiedBucketReleasesItsSubTableAndARefillMakesANewOne) {
  TDynamicHash hash;
  const std::vector<std::string> ids = RandomIds(300, 4);
  for (size_t i = 0; i < ids.size(); ++i) hash.Put(ids[i], static_cast<int32_t>(i));
  ASSERT_TRUE(hash.IsBucketMode());

  // The keys of the first key's bucket.
  const int32_t bucket = hash.HashOf(ids[0]);
  std::vector<size_t> shared;
  for (size_t i = 0; i < ids.size(); ++i)
    if (hash.HashOf(ids[i]) == bucket) shared.push_back(i);
  const int32_t occupied = hash.Count();

  for (size_t k = 0; k + 1 < shared.size(); ++k) hash.Remove(ids[shared[k]]);
  EXPECT_EQ(hash.Count(), occupied);  // one key left keeps the bucket
  hash.Remove(ids[shared.back()]);
  EXPECT_EQ(hash.Count(), occupied - 1);
  for (size_t i : shared) EXPECT_EQ(hash.Find(ids[i]), -1);
  for (size_t i = 0; i < ids.size(); ++i)
    if (hash.HashOf(ids[i]) != bucket) {
      EXPECT_EQ(hash.Find(ids[i]), static_cast<int32_t>(i));
    }

  TraceLog trace;
  hash.Put(ids[shared[0]], 99);
  EXPECT_EQ(trace.messages, std::vector<std::string>{"MakeSubHash(1)"});
  EXPECT_EQ(hash.Count(), occupied);
  EXPECT_EQ(hash.Find(ids[shared[0]]), 99);
  // Removing never returns to list mode; Clear does.
  for (const auto& id : ids) hash.Remove(id);
  EXPECT_TRUE(hash.IsBucketMode());
  EXPECT_EQ(hash.Count(), 0);
  hash.Clear();
  EXPECT_FALSE(hash.IsBucketMode());
  hash.Put(ids[1], 1);
  EXPECT_EQ(hash.Find(ids[1]), 1);
}

TEST(DynamicHash, KeysWithTheSameBytesInAnotherOrderStayInOneList) {
  // The bucket number ignores byte order, so these share a bucket at every level: splitting
  // them would never end. They stay one list until a key of another kind arrives.
  TraceLog trace;
  TDynamicHash hash;
  std::string digits = "12345";
  std::vector<std::string> ids;
  do ids.push_back("ABC" + digits);
  while (std::next_permutation(digits.begin(), digits.end()));
  ASSERT_EQ(ids.size(), 120u);
  for (size_t i = 0; i < ids.size(); ++i) hash.Put(ids[i], static_cast<int32_t>(i));
  EXPECT_FALSE(hash.IsBucketMode());
  EXPECT_EQ(hash.Count(), 120);
  EXPECT_TRUE(trace.messages.empty());
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(hash.Find(ids[i]), static_cast<int32_t>(i));

  hash.Put("XYZ00001", 500);
  ASSERT_TRUE(hash.IsBucketMode());
  ASSERT_NE(hash.HashOf("XYZ00001"), hash.HashOf(ids[0]));
  EXPECT_EQ(trace.messages, (std::vector<std::string>{"ChangeStructure(0)", "MakeSubHash(1)", "MakeSubHash(1)"}));
  EXPECT_EQ(hash.Count(), 2);
  for (size_t i = 0; i < ids.size(); i += 2) hash.Remove(ids[i]);
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(hash.Find(ids[i]), i % 2 ? static_cast<int32_t>(i) : -1);
  EXPECT_EQ(hash.Find("XYZ00001"), 500);

  // Two such families (ABC/BCA/CAB share their letters) and keys of both kinds mixed.
  TDynamicHash mixed;
  std::vector<std::string> keys;
  for (const char* letters : {"ABC", "BCA", "CAB", "DEF"}) {
    std::string d = "13579";
    do keys.push_back(letters + d);
    while (std::next_permutation(d.begin(), d.end()));
  }
  for (size_t i = 0; i < keys.size(); ++i) mixed.Put(keys[i], static_cast<int32_t>(i));
  for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(mixed.Find(keys[i]), static_cast<int32_t>(i));
}

// One spelling of an ID that passes the ID test: some letters small, some keys with a space
// around them, some in full width. No two spellings of different IDs are equal ignoring case.
std::string Spelling(const std::string& id, std::mt19937& rng) {
  std::string key;
  const unsigned kind = rng() % 10;
  if (kind == 0) {
    for (char c : id) {
      // Full-width capitals are 0x8260 + n, full-width digits 0x824F + n.
      key += static_cast<char>(0x82);
      key += static_cast<char>(c >= 'A' ? 0x60 + (c - 'A') : 0x4F + (c - '0'));
    }
    return key;
  }
  for (char c : id) key += (c >= 'A' && rng() % 3 == 0) ? static_cast<char>(c + 0x20) : c;
  if (kind == 1) key = " " + key;
  if (kind == 2) key += "  ";
  return key;
}

TEST(DynamicHash, KeysKeepTheirSpellingThroughTheSwitch) {
  std::mt19937 rng(8);
  for (int round = 0; round < 20; ++round) {
    TDynamicHash hash;
    std::vector<std::string> keys;
    for (const auto& id : RandomIds(65, 100 + round)) keys.push_back(Spelling(id, rng));
    for (size_t i = 0; i < keys.size(); ++i) hash.Put(keys[i], static_cast<int32_t>(i));
    ASSERT_TRUE(hash.IsBucketMode());
    for (size_t i = 0; i < keys.size(); ++i) {
      ASSERT_EQ(hash.Find(keys[i]), static_cast<int32_t>(i)) << keys[i];
      // Buckets go by the bytes as given: a key moved in another case would be lost here.
      std::string upper = keys[i];
      for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
      if (upper != keys[i] && hash.HashOf(upper) != hash.HashOf(keys[i])) {
        EXPECT_EQ(hash.Find(upper), -1);
      }
    }
  }
}

TEST(DynamicHash, ManyKeysAgreeWithAReferenceMap) {
  TDynamicHash hash;
  std::map<std::string, int32_t> reference;
  std::mt19937 spell(9);
  std::vector<std::string> ids = RandomIds(40000, 5);
  for (auto& id : ids) id = Spelling(id, spell);
  std::mt19937 rng(6);
  for (int step = 0; step < 120000; ++step) {
    const std::string& id = ids[rng() % ids.size()];
    switch (rng() % 3) {
      case 0:
      case 1: {
        const int32_t v = static_cast<int32_t>(rng() % 1000000);
        hash.Put(id, v);
        reference[id] = v;
        break;
      }
      default:
        hash.Remove(id);
        reference.erase(id);
    }
    if (step % 7 == 0) {
      const std::string& probe = ids[rng() % ids.size()];
      const auto it = reference.find(probe);
      ASSERT_EQ(hash.Find(probe), it == reference.end() ? -1 : it->second) << probe << " at step " << step;
    }
  }
  for (const auto& id : ids) {
    const auto it = reference.find(id);
    ASSERT_EQ(hash.Find(id), it == reference.end() ? -1 : it->second) << id;
  }
}

// FindOrPut must answer, store, trace and remember exactly as a Find followed, on a miss, by a
// Put: two tables are driven through the same mixed sequence, one each way, and compared at
// every step. The keys come in several spellings, some are not IDs at all, some are long, and
// there are enough of them for lists to switch to buckets and sub-tables to appear and go.
TEST(DynamicHash, FindOrPutBehavesAsFindThenPutOnAMiss) {
  std::mt19937 spell(21);
  std::vector<std::string> keys;
  for (const auto& id : RandomIds(600, 22)) keys.push_back(Spelling(id, spell));
  keys.push_back("NOT AN ID");
  keys.push_back("abc");
  keys.push_back(std::string(20, 'X'));
  keys.push_back("");

  struct Outcome {
    std::vector<int32_t> answers;
    std::vector<std::string> trace;
  };
  const auto drive = [&keys](bool combined) {
    Outcome out;
    TraceLog log;
    TDynamicHash hash;
    std::mt19937 rng(23);
    size_t last = 0;
    for (int step = 0; step < 30000; ++step) {
      // A key often comes again right away, as the remembered key expects.
      if (rng() % 3 != 0) last = rng() % keys.size();
      const std::string& key = keys[last];
      const unsigned op = rng() % 10;
      const int32_t value = static_cast<int32_t>(rng() % 1000);
      if (op < 6) {
        if (combined) {
          out.answers.push_back(hash.FindOrPut(key, value));
        } else {
          const int32_t found = hash.Find(key);
          if (found == -1) hash.Put(key, value);
          out.answers.push_back(found);
        }
      } else if (op < 8) {
        out.answers.push_back(hash.Find(key));
      } else if (op < 9) {
        hash.Remove(key);
      } else {
        hash.Put(key, value);
      }
      if (step % 97 == 0) out.answers.push_back(hash.Count());
    }
    for (const auto& key : keys) out.answers.push_back(hash.Find(key));
    out.trace = log.messages;
    return out;
  };
  const Outcome separate = drive(false);
  const Outcome combined = drive(true);
  ASSERT_EQ(separate.answers.size(), combined.answers.size());
  for (size_t i = 0; i < separate.answers.size(); ++i)
    ASSERT_EQ(separate.answers[i], combined.answers[i]) << "answer " << i;
  EXPECT_EQ(separate.trace, combined.trace);
  // The sequence must have exercised the bucket mode, or the comparison proves little.
  EXPECT_GT(std::count(separate.trace.begin(), separate.trace.end(), "ChangeStructure(0)"), 0);
}

TEST(DynamicHash, FindOrPutRemembersWhatItStored) {
  TDynamicHash hash;
  EXPECT_EQ(hash.FindOrPut("ABC12345", 3), -1);
  EXPECT_EQ(hash.FindOrPut("ABC12345", 9), 3);  // from the remembered key
  EXPECT_EQ(hash.Find("abc12345"), 3);          // one key in a list, whatever the case
  EXPECT_EQ(hash.FindOrPut("ABC12345", 9), 3);  // found by search this time
  // A remembered miss still stores.
  EXPECT_EQ(hash.Find("XYZ12345"), -1);
  EXPECT_EQ(hash.FindOrPut("XYZ12345", 7), -1);
  EXPECT_EQ(hash.Find("XYZ12345"), 7);
  EXPECT_EQ(hash.FindOrPut("XYZ12345", 8), 7);
  // A text that is no ID is never stored, however often it is offered.
  EXPECT_EQ(hash.FindOrPut("hello", 4), -1);
  EXPECT_EQ(hash.FindOrPut("hello", 4), -1);
  EXPECT_EQ(hash.Count(), 2);
}

// Drives the table and the plain model through the same long random sequence and compares every
// answer, the count and mode, and the trace. The keys are crowded into few buckets (families of
// byte permutations, spellings of one ID in other cases, with spaces, in full width), so lists
// grow through several sizes below the top, split, empty and refill.
TEST(DynamicHash, AgreesWithThePlainRulesThroughRandomWork) {
  std::mt19937 rng(31);
  std::vector<std::string> keys;
  for (const char* letters : {"ABC", "BCA", "KLM", "XYZ"}) {
    std::string digits = "13579";
    int n = 0;
    do {
      if (n++ % 3 == 0) keys.push_back(letters + digits);
    } while (std::next_permutation(digits.begin(), digits.end()));
  }
  for (const auto& id : RandomIds(3000, 32)) {
    keys.push_back(id);
    if (rng() % 4 == 0) keys.push_back(Spelling(id, rng));
  }
  keys.insert(keys.end(), {"NOT AN ID", "abc", "", std::string(20, 'X')});

  std::vector<std::string> modelTrace;
  quillet_test::PlainHash model(0, &modelTrace);
  TraceLog trace;
  TDynamicHash hash;
  size_t last = 0;
  for (int step = 0; step < 60000; ++step) {
    if (rng() % 3 != 0) last = rng() % keys.size();
    const std::string& key = keys[last];
    const int32_t value = static_cast<int32_t>(rng() % 1000);
    const unsigned op = rng() % 100;
    if (op < 40) {
      ASSERT_EQ(hash.FindOrPut(key, value), model.FindOrPut(key, value)) << "FindOrPut " << key << " at " << step;
    } else if (op < 60) {
      ASSERT_EQ(hash.Find(key), model.Find(key)) << "Find " << key << " at " << step;
    } else if (op < 75) {
      hash.Put(key, value);
      model.Put(key, value);
    } else if (op < 99) {
      hash.Remove(key);
      model.Remove(key);
    } else if (rng() % 20 == 0) {
      hash.Clear();
      model.Clear();
    }
    ASSERT_EQ(hash.Count(), model.Count()) << "at " << step;
    ASSERT_EQ(hash.IsBucketMode(), model.IsBucketMode()) << "at " << step;
  }
  for (const auto& key : keys) ASSERT_EQ(hash.Find(key), model.Find(key)) << key;
  EXPECT_EQ(trace.messages, modelTrace);
  EXPECT_GT(std::count(modelTrace.begin(), modelTrace.end(), "ChangeStructure(1)"), 0);  // sub-tables split too
}
