// The provider request on the wire: padding, DES-CBC (Nettle, checked against the openssl
// command), IV prefix, Base64 and percent-encoding, and the receiving side's decoding.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/ImpApiCrypto.h"
#include "net/ImpApiINet.h"
#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using testsupport::TempDir;

// Text with every kind of byte, for round trips.
std::string Sample(std::size_t length) {
  std::string text(length, '\0');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>((i * 73 + 11) % 256);
  return text;
}

std::string AllBytes() {
  std::string bytes(256, '\0');
  for (int i = 0; i < 256; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>(i);
  return bytes;
}

// ---- PadToBlock

struct PadCase {
  std::size_t length;
  std::size_t padded;
  char value;
};

TEST(PadToBlock, AppendsNBytesOfValueN) {
  const std::vector<PadCase> cases = {
      {0, 8, 8}, {1, 8, 7}, {7, 8, 1}, {8, 16, 8}, {15, 16, 1}, {16, 24, 8}, {17, 24, 7},
  };
  for (const PadCase& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string original = Sample(c.length);
    std::string text = original;
    PadToBlock(text, 8);
    ASSERT_EQ(text.size(), c.padded);
    EXPECT_EQ(text.substr(0, c.length), original);
    EXPECT_EQ(text.substr(c.length), std::string(c.padded - c.length, c.value));
  }
}

// ---- Base64

TEST(Base64Encode, StandardTestVectors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"\xFB\xFF", "+/8="},
      {std::string("\0\0\0", 3), "AAAA"},
      {"\xFF\xFF\xFF", "////"},
  };
  for (const auto& [data, expected] : cases) {
    SCOPED_TRACE(expected);
    EXPECT_EQ(Base64Encode(data), expected);
  }
}

TEST(Base64Encode, NoLineBreaksInLongOutput) {
  const std::string encoded = Base64Encode(Sample(300));
  EXPECT_EQ(encoded.size(), 400u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64Decode, ReversesEncodingForEveryLengthAndByte) {
  const std::string all = AllBytes();
  for (std::size_t length = 0; length <= all.size(); ++length) {
    const std::string data = all.substr(all.size() - length);
    ASSERT_EQ(Base64Decode(Base64Encode(data)), data) << "length " << length;
  }
}

TEST(Base64Decode, MalformedTextGivesNothing) {
  for (const char* text : {"Zg=", "Zg", "Z===", "Zm=v", "Zg==Zm8=", "Zm9v!A==", "Zm9v YmFy", "%2B/8="}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Base64Decode(text), std::nullopt);
  }
}

// ---- Percent-encoding

TEST(UrlEncode, SpaceAsPercentOrAsPlus) {
  EXPECT_EQ(UrlEncode("a b+c/=", false), "a%20b%2Bc%2F%3D");
  EXPECT_EQ(UrlEncode("a b+c/=", true), "a+b%2Bc%2F%3D");
}

TEST(UrlEncode, ByteAbove127IsUpperCaseHex) {
  EXPECT_EQ(UrlEncode("\xFC", false), "%FC");
  EXPECT_EQ(UrlEncode("\xAB\x80", false), "%AB%80");
}

TEST(UrlEncode, UnreservedMarksAreEncodedToo) { EXPECT_EQ(UrlEncode("-_.~", false), "%2D%5F%2E%7E"); }

TEST(UrlEncode, LettersAndDigitsAreKept) {
  const std::string alnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  EXPECT_EQ(UrlEncode(alnum, false), alnum);
}

TEST(UrlEncode, ControlAndZeroBytesAreEncoded) {
  EXPECT_EQ(UrlEncode(std::string("\0\r\n\x7F", 4), false), "%00%0D%0A%7F");
}

TEST(UrlDecode, ReversesEncodingOfEveryByte) {
  const std::string all = AllBytes();
  EXPECT_EQ(UrlDecode(UrlEncode(all, false), false), all);
  EXPECT_EQ(UrlDecode(UrlEncode(all, true), true), all);
}

TEST(UrlDecode, LowerCaseHexIsAccepted) { EXPECT_EQ(UrlDecode("%fc%2b", false), "\xFC+"); }

TEST(UrlDecode, PlusIsASpaceOnlyWhenAsked) {
  EXPECT_EQ(UrlDecode("a+b", true), "a b");
  EXPECT_EQ(UrlDecode("a+b", false), "a+b");
}

TEST(UrlDecode, BrokenPercentSequenceGivesNothing) {
  for (const char* text : {"%", "%4", "a%4", "%G1", "%1G", "%%41"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(UrlDecode(text, false), std::nullopt);
  }
}

// ---- Request texts

TEST(RequestText, HoldingsRequestEndsWithSemicolon) {
  EXPECT_EQ(HoldingsRequestText("berater7", "1234"), "version=2;file=bestaende;loginid=berater7;pin=1234;");
}

TEST(RequestText, TransactionsRequestHasStartIdsAndReimportWithoutFinalSemicolon) {
  EXPECT_EQ(TransactionsRequestText("berater7", "1234", "100", "0", 1),
            "version=2;file=transaktionen;loginid=berater7;pin=1234;startid=100;startid2=0;reimport=1");
  EXPECT_EQ(TransactionsRequestText("a", "b", "c", "d", 0),
            "version=2;file=transaktionen;loginid=a;pin=b;startid=c;startid2=d;reimport=0");
}

TEST(RequestText, ValuesAreInsertedWithoutEscaping) {
  EXPECT_EQ(HoldingsRequestText("a;b=c", "p\xFC;"), "version=2;file=bestaende;loginid=a;b=c;pin=p\xFC;;");
}

// ---- DES-CBC with Nettle

// DES-CBC of data by the openssl command with the request key and IV; data length a multiple of 8.
std::string OpensslRequestCipher(const TempDir& dir, std::string_view data) {
  const std::string in = dir.WriteFile("plain.bin", data);
  const std::string command =
      "openssl enc -des-cbc -K 7038487832566d5a -iv 5277346b54376e51 -nopad -provider legacy -provider "
      "default -in '" +
      in + "' 2>'" + (dir.Path() / "openssl.err").string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed: " + command);
  std::string out;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, got);
  if (pclose(pipe) != 0) {
    throw std::runtime_error("openssl failed: " + TempDir::ReadFile(dir.Path() / "openssl.err"));
  }
  return out;
}

TEST(NettleDes, MatchesTheOpensslCommandForSeveralLengths) {
  TempDir dir;
  posix::NettleDes des;
  for (std::size_t length : {8u, 16u, 24u, 56u, 64u, 1024u}) {
    SCOPED_TRACE(length);
    const std::string plain = Sample(length);
    std::string data = plain;
    ASSERT_EQ(des.Encipher(data, kRequestKey, kRequestIv), 0);
    EXPECT_EQ(data, OpensslRequestCipher(dir, plain));
  }
}

TEST(NettleDes, MatchesThePublishedCbcExample) {
  // The CBC example of FIPS 81: key 0123456789abcdef, IV 1234567890abcdef.
  const DesBlock key = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  const DesBlock iv = {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF};
  std::string data = "Now is the time for all ";
  posix::NettleDes des;
  ASSERT_EQ(des.Encipher(data, key, iv), 0);
  const std::string expected(
      "\xE5\xC7\xCD\xDE\x87\x2B\xF2\x7C\x43\xE9\x34\x00\x8C\x38\x9C\x0F\x68\x37\x88\x49\x9A\x7C\x05\xF6", 24);
  EXPECT_EQ(data, expected);
}

TEST(NettleDes, DecipherReversesEncipher) {
  posix::NettleDes des;
  const std::string plain = Sample(40);
  std::string data = plain;
  ASSERT_EQ(des.Encipher(data, kRequestKey, kRequestIv), 0);
  EXPECT_NE(data, plain);
  ASSERT_EQ(des.Decipher(data, kRequestKey, kRequestIv), 0);
  EXPECT_EQ(data, plain);
}

TEST(NettleDes, EqualBlocksGiveDifferentCipherBlocksInCbcMode) {
  posix::NettleDes des;
  std::string data(16, 'A');
  ASSERT_EQ(des.Encipher(data, kRequestKey, kRequestIv), 0);
  EXPECT_NE(data.substr(0, 8), data.substr(8, 8));
}

TEST(NettleDes, LengthNotAMultipleOfEightIsAnError) {
  posix::NettleDes des;
  std::string data(9, 'x');
  EXPECT_NE(des.Encipher(data, kRequestKey, kRequestIv), 0);
}

TEST(NettleDes, WeakKeyIsAnError) {
  posix::NettleDes des;
  const DesBlock weak = {1, 1, 1, 1, 1, 1, 1, 1};
  std::string data(8, 'x');
  EXPECT_NE(des.Encipher(data, weak, kRequestIv), 0);
}

// ---- EncodeRequest

TEST(EncodeRequest, PlainCopyHoldsTheTextWithoutPadding) {
  posix::NettleDes des;
  const std::string original = HoldingsRequestText("berater7", "1234");
  std::string text = original;
  std::string plain;
  ASSERT_EQ(EncodeRequest(des, text, plain), 0);
  EXPECT_EQ(plain, original);
  EXPECT_NE(text, original);
}

TEST(EncodeRequest, ResultIsIvAndOpensslCipherTextInBase64) {
  TempDir dir;
  posix::NettleDes des;
  for (std::size_t length : {0u, 7u, 8u, 17u, 60u}) {
    SCOPED_TRACE(length);
    const std::string original = Sample(length);
    std::string text = original;
    std::string plain;
    ASSERT_EQ(EncodeRequest(des, text, plain), 0);
    const std::optional<std::string> base64 = UrlDecode(text, false);
    ASSERT_TRUE(base64);
    const std::optional<std::string> raw = Base64Decode(*base64);
    ASSERT_TRUE(raw);
    std::string padded = original;
    PadToBlock(padded, 8);
    EXPECT_EQ(*raw, "Rw4kT7nQ" + OpensslRequestCipher(dir, padded));
  }
}

TEST(EncodeRequest, ResultHoldsOnlyLettersDigitsAndPercentEscapes) {
  posix::NettleDes des;
  for (std::size_t length = 0; length < 64; ++length) {
    std::string text = Sample(length);
    std::string plain;
    ASSERT_EQ(EncodeRequest(des, text, plain), 0);
    ASSERT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789%"),
              std::string::npos)
        << text;
    for (std::size_t pct = text.find('%'); pct != std::string::npos; pct = text.find('%', pct + 1)) {
      const std::string escape = text.substr(pct, 3);
      ASSERT_TRUE(escape == "%2B" || escape == "%2F" || escape == "%3D") << escape;
    }
  }
}

TEST(EncodeRequest, FirstTenBase64CharactersAreTheSameForEveryRequest) {
  posix::NettleDes des;
  for (const std::string& request : {HoldingsRequestText("a", "b"), HoldingsRequestText("other", "9999"),
                                     TransactionsRequestText("x", "y", "1", "2", 0), std::string()}) {
    std::string text = request;
    std::string plain;
    ASSERT_EQ(EncodeRequest(des, text, plain), 0);
    EXPECT_EQ(text.substr(0, 10), "Unc0a1Q3bl") << request;
  }
}

TEST(EncodeRequest, LengthFollowsThePaddedPrefixedBase64Length) {
  posix::NettleDes des;
  for (std::size_t length = 0; length <= 40; ++length) {
    SCOPED_TRACE(length);
    std::string text = Sample(length);
    std::string plain;
    ASSERT_EQ(EncodeRequest(des, text, plain), 0);
    const std::size_t padded = 8 * (length / 8 + 1);
    const std::size_t base64 = 4 * ((8 + padded + 2) / 3);
    std::size_t escapes = 0;
    for (char c : text) escapes += c == '%' ? 1 : 0;
    EXPECT_EQ(text.size(), base64 + 2 * escapes);
    EXPECT_EQ(UrlDecode(text, false)->size(), base64);
  }
}

// A DES routine that records its call and answers with a chosen code.
class RecordingDes final : public DesCbc {
 public:
  explicit RecordingDes(int32_t result) : result_(result) {}
  int32_t Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) override {
    ++calls;
    seenData = data;
    seenKey = key;
    seenIv = iv;
    return result_;
  }
  int32_t Decipher(std::string&, const DesBlock&, const DesBlock&) override { return result_; }

  int calls = 0;
  std::string seenData;
  DesBlock seenKey{};
  DesBlock seenIv{};

 private:
  int32_t result_;
};

TEST(EncodeRequest, CipherErrorCodeIsReturnedUnchanged) {
  for (int32_t code : {1, 7, -3, 2146893816}) {
    SCOPED_TRACE(code);
    RecordingDes des(code);
    std::string text = "version=2;";
    std::string plain;
    EXPECT_EQ(EncodeRequest(des, text, plain), code);
    EXPECT_EQ(des.calls, 1);
  }
}

TEST(EncodeRequest, CipherGetsThePaddedTextWithTheFixedKeyAndIv) {
  RecordingDes des(0);
  std::string text = HoldingsRequestText("a", "b");  // 41 bytes
  std::string plain;
  ASSERT_EQ(EncodeRequest(des, text, plain), 0);
  EXPECT_EQ(des.seenData, HoldingsRequestText("a", "b") + std::string(7, '\x07'));
  EXPECT_EQ(std::string(des.seenKey.begin(), des.seenKey.end()), "p8Hx2VmZ");
  EXPECT_EQ(std::string(des.seenIv.begin(), des.seenIv.end()), "Rw4kT7nQ");
}

// ---- DecodeRequest

TEST(DecodeRequest, ReversesEncodeRequest) {
  posix::NettleDes des;
  std::vector<std::string> requests = {HoldingsRequestText("berater7", "p\xFC\xDF"),
                                       TransactionsRequestText("berater7", "1234", "100", "200", 1)};
  for (std::size_t length = 0; length <= 24; ++length) requests.push_back(Sample(length));
  for (const std::string& request : requests) {
    SCOPED_TRACE(testing::PrintToString(request));
    std::string text = request;
    std::string plain;
    ASSERT_EQ(EncodeRequest(des, text, plain), 0);
    EXPECT_EQ(DecodeRequest(des, text), request);
  }
}

// An encoded params value around chosen deciphered bytes (length a multiple of 8).
std::string ParamsFor(std::string deciphered) {
  posix::NettleDes des;
  if (des.Encipher(deciphered, kRequestKey, kRequestIv) != 0) throw std::runtime_error("encipher failed");
  return UrlEncode(Base64Encode("Rw4kT7nQ" + deciphered), false);
}

TEST(DecodeRequest, TextThatIsNoEncodedRequestGivesNothing) {
  posix::NettleDes des;
  const std::vector<std::string> cases = {
      "%ZZ",                                       // broken percent sequence
      "abc",                                       // not Base64
      UrlEncode(Base64Encode("Rw4kT7nQ"), false),  // IV without data
      UrlEncode(Base64Encode(Sample(20)), false),  // not whole blocks
      ParamsFor(std::string(7, 'a') + '\0'),       // padding byte 0
      ParamsFor(std::string(7, 'a') + '\x09'),     // padding byte above the block size
      ParamsFor("abcdef"
                "\x01\x02"),  // padding bytes that disagree
  };
  for (const std::string& params : cases) {
    SCOPED_TRACE(params);
    EXPECT_EQ(DecodeRequest(des, params), std::nullopt);
  }
}

}  // namespace
}  // namespace kx
