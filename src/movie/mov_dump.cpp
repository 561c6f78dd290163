#include "movie/mov_dump.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/decimal_text.h"
#include "movie/quicktime/atom_walker.h"
#include "movie/quicktime/big_endian.h"
#include "movie/quicktime/sample_table.h"

namespace kelmira {

namespace {

constexpr int kMaxDepth = 32;
constexpr std::uint32_t kMaxListedEntries = 8;
constexpr std::uint32_t kMaxDumpedSamples = 4;

// Only for whole numbers and texts: printf writes fractions in the user's locale
// (generalDecimal does not).
__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
  char text[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

std::string quoted(const std::uint8_t* chars, std::size_t count) {
  std::string text = "\"";
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned c = chars[i];
    if (c == '"' || c == '\\') text += '\\';
    if (c >= 0x20 && c < 0x7F)
      text += static_cast<char>(c);
    else
      text += format("\\x%02X", c);
  }
  return text + "\"";
}

// Reads fields of one structure and prints each as "name value" on its own line;
// finish() reports a structure cut short or followed by bytes it does not explain.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size, std::ostream& out, int indent, bool& ok)
      : reader_(data, size), out_(out), indent_(indent), ok_(ok), versionOne_(size > 0 && data[0] == 1) {}
  ByteReader& reader() { return reader_; }
  // Version 1 of a header atom widens its times to 64 bits; told by the first byte
  // even when the version field itself is cut short.
  bool versionOne() const { return versionOne_; }

  void line(const std::string& text) { out_ << std::string(2 * indent_, ' ') << text << '\n'; }
  void error(const std::string& text) {
    ok_ = false;
    line("error: " + text);
  }
  std::uint32_t u8(const char* name) { return show(name, reader_.u8(), "%u"); }
  std::uint32_t u16(const char* name) { return show(name, reader_.u16(), "%u"); }
  std::uint32_t u32(const char* name) { return show(name, reader_.u32(), "%u"); }
  std::uint32_t hex16(const char* name) { return show(name, reader_.u16(), "0x%04X"); }
  std::uint32_t hex32(const char* name) { return show(name, reader_.u32(), "0x%08X"); }
  std::int32_t s16(const char* name) {
    const auto v = static_cast<std::int16_t>(reader_.u16());
    if (!reader_.failed()) line(format("%s %d", name, v));
    return v;
  }
  std::int32_t s32(const char* name) {
    const auto v = static_cast<std::int32_t>(reader_.u32());
    if (!reader_.failed()) line(format("%s %d", name, v));
    return v;
  }
  std::uint64_t u64(const char* name) {
    const std::uint64_t v = reader_.u64();
    if (!reader_.failed()) line(format("%s %llu", name, static_cast<unsigned long long>(v)));
    return v;
  }
  OSType type(const char* name) {
    const OSType v = reader_.u32();
    if (!reader_.failed()) line(std::string(name) + " " + fourCCText(v));
    return v;
  }
  void fixed(const char* name) {
    const std::uint32_t v = reader_.u32();
    if (!reader_.failed()) line(format("%s %s (0x%08X)", name, generalDecimal(static_cast<std::int32_t>(v) / 65536.0, 6).c_str(), v));
  }
  void fixed8(const char* name) {
    const std::uint32_t v = reader_.u16();
    if (!reader_.failed()) line(format("%s %s (0x%04X)", name, generalDecimal(static_cast<std::int16_t>(v) / 256.0, 4).c_str(), v));
  }
  void f32(const char* name) {
    const float v = reader_.f32();
    if (!reader_.failed()) line(std::string(name) + " " + generalDecimal(v, 7));
  }
  void versionAndFlags() {
    const std::uint32_t v = reader_.u32();
    if (!reader_.failed()) line(format("version %u flags 0x%06X", v >> 24, v & 0xFFFFFF));
  }
  void matrix() {
    std::string text = "matrix";
    for (int i = 0; i < 9; ++i) text += format(" 0x%08X", reader_.u32());
    if (!reader_.failed()) line(text);
  }
  void u32s(const char* name, int count) {
    std::string text = name;
    for (int i = 0; i < count; ++i) text += format(" %u", reader_.u32());
    if (!reader_.failed()) line(text);
  }
  void chars(const char* name, std::size_t count) {
    const std::uint8_t* p = reader_.bytes(count);
    if (p) line(std::string(name) + " " + quoted(p, count));
  }
  void pascalString(const char* name) {
    if (reader_.remaining() == 0) return;  // some writers leave the name out
    const std::uint32_t length = reader_.u8();
    if (length > reader_.remaining()) {
      error(format("%s: length %u but %zu bytes remain", name, length, reader_.remaining()));
      reader_.skip(reader_.remaining());
      return;
    }
    chars(name, length);
  }
  // A count followed by fixed-size entries; returns how many entries fit.
  std::uint32_t count(const char* name, std::size_t entrySize) {
    const std::uint32_t n = u32(name);
    if (reader_.failed()) return 0;
    if (n > reader_.remaining() / entrySize) {
      error(format("%s %u needs %zu bytes, %zu remain", name, n, std::size_t(n) * entrySize, reader_.remaining()));
      return static_cast<std::uint32_t>(reader_.remaining() / entrySize);
    }
    return n;
  }
  bool finish() {
    if (reader_.failed()) {
      error("cut short");
      return false;
    }
    if (reader_.remaining() != 0) line(format("(%zu more bytes)", reader_.remaining()));
    return true;
  }

 private:
  std::uint32_t show(const char* name, std::uint32_t v, const char* valuePattern) {
    if (!reader_.failed()) line(std::string(name) + " " + format(valuePattern, v));
    return v;
  }
  ByteReader reader_;
  std::ostream& out_;
  int indent_;
  bool& ok_;
  bool versionOne_;
};

// Prints entries of a table, a few of them, and says how many were left out.
template <typename PrintEntry>
void listEntries(Fields& f, std::uint32_t n, PrintEntry printEntry) {
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i == kMaxListedEntries) {
      f.line(format("... %u more", n - i));
      f.reader().skip(f.reader().remaining());
      return;
    }
    printEntry(i + 1);
  }
}

// One row of a dispatch table: an atom type and the function that prints it.
template <typename Handler>
struct AtomHandler {
  OSType type;
  Handler handler;
};

// The handler of `type`, or null for a type the table does not know.
template <typename Handler, std::size_t N>
Handler findHandler(const AtomHandler<Handler> (&table)[N], OSType type) {
  for (const AtomHandler<Handler>& row : table) {
    if (row.type == type) return row.handler;
  }
  return nullptr;
}

// Prints the fields of one atom's data, in the order they are stored.
using FieldPrinter = void (*)(Fields&);

void majorMinorVersion(Fields& f) {
  f.u16("majorVersion");
  f.u16("minorVersion");
}

void dumpVrsc(Fields& f) {
  majorMinorVersion(f);
  f.s32("nameAtomID");
  f.u32("defaultNodeID");
  f.hex32("vrWorldFlags");
  f.u32("reserved1");
  f.u32("reserved2");
}

void dumpImpn(Fields& f) {
  majorMinorVersion(f);
  f.u32("imagingMode");
  f.hex32("imagingValidFlags");
  f.u32("correction");
  f.hex32("quality");
  f.u32("directDraw");
  f.u32s("imagingProperties", 6);
  f.u32("reserved1");
  f.u32("reserved2");
}

void dumpNloc(Fields& f) {
  majorMinorVersion(f);
  f.type("nodeType");
  f.hex32("locationFlags");
  f.u32("locationData");
  f.u32("reserved1");
  f.u32("reserved2");
}

void dumpNdhd(Fields& f) {
  majorMinorVersion(f);
  f.type("nodeType");
  f.u32("nodeID");
  f.s32("nameAtomID");
  f.s32("commentAtomID");
  f.u32("reserved1");
  f.u32("reserved2");
}

void dumpVrsg(Fields& f) {
  f.u16("stringUsage");
  const std::uint32_t length = f.u16("stringLength");
  if (length > f.reader().remaining()) {
    f.error(format("stringLength %u but %zu bytes remain", length, f.reader().remaining()));
    f.reader().skip(f.reader().remaining());
    return;
  }
  f.chars("string", length);
  if (f.reader().remaining() > 0) f.u8("terminator");
}

void dumpHsin(Fields& f) {
  majorMinorVersion(f);
  f.type("hotSpotType");
  f.s32("nameAtomID");
  f.s32("commentAtomID");
  f.s32("cursorID1");
  f.s32("cursorID2");
  f.s32("cursorID3");
  f.f32("bestPan");
  f.f32("bestTilt");
  f.f32("bestFOV");
  f.f32("bestViewCenterX");
  f.f32("bestViewCenterY");
  f.s16("hotSpotRectTop");
  f.s16("hotSpotRectLeft");
  f.s16("hotSpotRectBottom");
  f.s16("hotSpotRectRight");
  f.hex32("flags");
  f.u32("reserved1");
  f.u32("reserved2");
}

void dumpUrl(Fields& f) { f.chars("address", f.reader().remaining()); }

void dumpPdat(Fields& f) {
  majorMinorVersion(f);
  f.u32("imageRefTrackIndex");
  f.u32("hotSpotRefTrackIndex");
  f.f32("minPan");
  f.f32("maxPan");
  f.f32("minTilt");
  f.f32("maxTilt");
  f.f32("minFieldOfView");
  f.f32("maxFieldOfView");
  f.f32("defaultPan");
  f.f32("defaultTilt");
  f.f32("defaultFieldOfView");
  f.u32("imageSizeX");
  f.u32("imageSizeY");
  f.u16("imageNumFramesX");
  f.u16("imageNumFramesY");
  f.u32("hotSpotSizeX");
  f.u32("hotSpotSizeY");
  f.u16("hotSpotNumFramesX");
  f.u16("hotSpotNumFramesY");
  f.hex32("flags");
  f.type("panoType");
  f.u32("reserved");
}

// The VR atoms of a QT atom container shown field by field; any other leaf atom shows
// its data size only.
constexpr AtomHandler<FieldPrinter> kContainerAtomPrinters[] = {
    {fourCC("vrsc"), dumpVrsc},
    {fourCC("impn"), dumpImpn},
    {fourCC("nloc"), dumpNloc},
    {fourCC("ndhd"), dumpNdhd},
    {fourCC("vrsg"), dumpVrsg},
    {fourCC("hsin"), dumpHsin},
    {fourCC("url "), dumpUrl},
    {fourCC("pdat"), dumpPdat},
};

void dumpContainerAtom(const AtomContainer& c, QTAtom atom, std::ostream& out, int indent, bool& ok, int depth) {
  const ByteBuffer& data = c.data(atom);
  const auto& children = c.children(atom);
  const std::string head = std::string(2 * indent, ' ') + fourCCText(c.type(atom)) + format(" id %d", c.id(atom));
  if (!children.empty() || data.empty()) {
    out << head << format(" children %zu", children.size()) << '\n';
    if (depth >= kMaxDepth) return;
    for (QTAtom child : children) dumpContainerAtom(c, child, out, indent + 1, ok, depth + 1);
    return;
  }
  out << head << format(" data %zu bytes", data.size()) << '\n';
  const FieldPrinter print = findHandler(kContainerAtomPrinters, c.type(atom));
  if (print == nullptr) return;
  Fields f(data.data(), data.size(), out, indent + 1, ok);
  print(f);
  f.finish();
}

// mvhd and mdhd open alike: two times, a time scale and a duration, 64-bit in version 1.
void timesScaleAndDuration(Fields& f, bool wide) {
  if (wide) {
    f.u64("creationTime");
    f.u64("modificationTime");
    f.u32("timeScale");
    f.u64("duration");
  } else {
    f.u32("creationTime");
    f.u32("modificationTime");
    f.u32("timeScale");
    f.u32("duration");
  }
}

void dumpFtyp(Fields& f) {
  f.type("majorBrand");
  f.hex32("minorVersion");
  while (f.reader().remaining() >= 4) f.type("compatibleBrand");
}

void dumpMvhd(Fields& f) {
  f.versionAndFlags();
  timesScaleAndDuration(f, f.versionOne());
  f.fixed("preferredRate");
  f.fixed8("preferredVolume");
  f.reader().skip(10);
  f.matrix();
  f.u32("previewTime");
  f.u32("previewDuration");
  f.u32("posterTime");
  f.u32("selectionTime");
  f.u32("selectionDuration");
  f.u32("currentTime");
  f.u32("nextTrackID");
}

// The track header's times and ID, 64-bit times in version 1.
void trackTimesAndId(Fields& f, bool wide) {
  if (wide) {
    f.u64("creationTime");
    f.u64("modificationTime");
    f.u32("trackID");
    f.reader().skip(4);
    f.u64("duration");
  } else {
    f.u32("creationTime");
    f.u32("modificationTime");
    f.u32("trackID");
    f.reader().skip(4);
    f.u32("duration");
  }
}

void dumpTkhd(Fields& f) {
  f.versionAndFlags();
  trackTimesAndId(f, f.versionOne());
  f.reader().skip(8);
  f.s16("layer");
  f.s16("alternateGroup");
  f.fixed8("volume");
  f.reader().skip(2);
  f.matrix();
  f.fixed("width");
  f.fixed("height");
}

void dumpMdhd(Fields& f) {
  f.versionAndFlags();
  timesScaleAndDuration(f, f.versionOne());
  f.u16("language");
  f.u16("quality");
}

void dumpHdlr(Fields& f) {
  f.versionAndFlags();
  f.type("componentType");
  f.type("componentSubtype");
  f.type("componentManufacturer");
  f.hex32("componentFlags");
  f.hex32("componentFlagsMask");
  f.pascalString("componentName");
}

// vmhd and gmin open alike: version and flags, a transfer mode and its colour.
void graphicsModeAndOpcolor(Fields& f) {
  f.versionAndFlags();
  f.hex16("graphicsMode");
  f.hex16("opcolorRed");
  f.hex16("opcolorGreen");
  f.hex16("opcolorBlue");
}

void dumpVmhd(Fields& f) { graphicsModeAndOpcolor(f); }

void dumpGmin(Fields& f) {
  graphicsModeAndOpcolor(f);
  f.s16("balance");
  f.u16("reserved");
}

// Version and flags, an entry count checked against the bytes left, then a few entries.
template <typename PrintEntry>
void dumpTable(Fields& f, std::size_t entrySize, PrintEntry printEntry) {
  f.versionAndFlags();
  const std::uint32_t n = f.count("entryCount", entrySize);
  listEntries(f, n, printEntry);
}

void dumpElst(Fields& f) {
  dumpTable(f, 12, [&f](std::uint32_t i) {
    const std::uint32_t duration = f.reader().u32();
    const auto mediaTime = static_cast<std::int32_t>(f.reader().u32());
    const std::uint32_t rate = f.reader().u32();
    f.line(format("edit %u: trackDuration %u mediaTime %d mediaRate %s (0x%08X)", i, duration, mediaTime,
                  generalDecimal(static_cast<std::int32_t>(rate) / 65536.0, 6).c_str(), rate));
  });
}

void dumpStts(Fields& f) {
  dumpTable(f, 8, [&f](std::uint32_t i) {
    const std::uint32_t count = f.reader().u32();
    f.line(format("entry %u: sampleCount %u sampleDuration %u", i, count, f.reader().u32()));
  });
}

void dumpStsc(Fields& f) {
  dumpTable(f, 12, [&f](std::uint32_t i) {
    ByteReader& r = f.reader();
    const std::uint32_t first = r.u32();
    const std::uint32_t perChunk = r.u32();
    f.line(format("entry %u: firstChunk %u samplesPerChunk %u sampleDescriptionID %u", i, first, perChunk, r.u32()));
  });
}

void dumpStss(Fields& f) {
  dumpTable(f, 4, [&f](std::uint32_t i) { f.line(format("entry %u: sample %u", i, f.reader().u32())); });
}

void dumpStco(Fields& f) {
  dumpTable(f, 4, [&f](std::uint32_t i) {
    f.line(format("chunk %u: offset %llu", i, static_cast<unsigned long long>(f.reader().u32())));
  });
}

void dumpCo64(Fields& f) {
  dumpTable(f, 8, [&f](std::uint32_t i) {
    f.line(format("chunk %u: offset %llu", i, static_cast<unsigned long long>(f.reader().u64())));
  });
}

void dumpStsz(Fields& f) {
  f.versionAndFlags();
  const std::uint32_t uniform = f.u32("sampleSize");
  const std::uint32_t n = f.u32("sampleCount");
  if (uniform != 0 || f.reader().failed()) return;  // one size for all, or cut short
  if (n > f.reader().remaining() / 4) {
    f.error(format("sampleCount %u needs %zu bytes, %zu remain", n, std::size_t(n) * 4, f.reader().remaining()));
    return;
  }
  listEntries(f, n, [&f](std::uint32_t i) { f.line(format("sample %u: size %u", i, f.reader().u32())); });
}

void dumpCtyp(Fields& f) { f.type("controllerType"); }

// The fields of a video sample description after its data reference index.
void dumpVideoDescription(Fields& e) {
  e.u16("version");
  e.u16("revisionLevel");
  e.type("vendor");
  e.hex32("temporalQuality");
  e.hex32("spatialQuality");
  e.u16("width");
  e.u16("height");
  e.fixed("horizontalResolution");
  e.fixed("verticalResolution");
  e.u32("dataSize");
  e.u16("frameCount");
  const std::uint8_t* name = e.reader().bytes(32);
  if (name) e.line("compressorName " + quoted(name + 1, std::min<std::size_t>(name[0], 31)));
  e.u16("depth");
  e.s16("colorTableID");
}

// The line that opens every atom: its type, where it starts and its size.
std::string headline(const ClassicAtom& atom) {
  return format("%s offset %llu size %llu", fourCCText(atom.type).c_str(), static_cast<unsigned long long>(atom.offset),
                static_cast<unsigned long long>(atom.size));
}

struct TrackFacts {
  OSType handler = 0;
  SampleTablePayloads tables;
  bool isVr() const { return handler == fourCC("qtvr") || handler == fourCC("pano"); }
};

class MovieDumper {
 public:
  MovieDumper(const std::uint8_t* data, std::size_t size, std::ostream& out) : data_(data), size_(size), out_(out) {}

  bool run() {
    walk(0, size_, 0, true, nullptr);
    return ok_;
  }

 private:
  void line(int indent, const std::string& text) { out_ << std::string(2 * indent, ' ') << text << '\n'; }
  void error(int indent, const std::string& text) {
    ok_ = false;
    line(indent, "error: " + text);
  }

  void walk(std::uint64_t begin, std::uint64_t end, int depth, bool topLevel, const TrackFacts* track) {
    if (depth > kMaxDepth) {
      error(depth, "atoms nested too deeply");
      return;
    }
    const ClassicAtomList list = readClassicAtoms(data_, size_, begin, end, topLevel);
    for (const ClassicAtom& atom : list.atoms) dumpAtom(atom, depth, track);
    if (!list.error.empty()) error(depth, list.error);
  }

  std::optional<ClassicAtom> child(const std::optional<ClassicAtom>& parent, const char (&type)[5]) {
    if (!parent) return std::nullopt;
    return findClassicChild(data_, size_, *parent, fourCC(type));
  }

  TrackFacts gatherTrack(const ClassicAtom& trak) {
    TrackFacts facts;
    const auto mdia = child(trak, "mdia");
    if (const auto hdlr = child(mdia, "hdlr")) {
      ByteReader r(data_ + hdlr->payloadOffset(), static_cast<std::size_t>(hdlr->payloadSize()));
      r.skip(8);
      facts.handler = r.u32();
    }
    const auto stbl = child(child(mdia, "minf"), "stbl");
    const auto payload = [this](const std::optional<ClassicAtom>& atom, const std::uint8_t*& at, std::size_t& n) {
      if (!atom) return;
      at = data_ + atom->payloadOffset();
      n = static_cast<std::size_t>(atom->payloadSize());
    };
    payload(child(stbl, "stsc"), facts.tables.stsc, facts.tables.stscSize);
    payload(child(stbl, "stsz"), facts.tables.stsz, facts.tables.stszSize);
    payload(child(stbl, "stco"), facts.tables.chunkOffsets, facts.tables.chunkOffsetsSize);
    if (!facts.tables.chunkOffsets) {
      payload(child(stbl, "co64"), facts.tables.chunkOffsets, facts.tables.chunkOffsetsSize);
      facts.tables.chunkOffsets64 = facts.tables.chunkOffsets != nullptr;
    }
    return facts;
  }

  void dumpContainerBytes(const std::uint8_t* bytes, std::size_t n, int indent) {
    QTAtomContainer container;
    if (const OSErr err = parseAtomContainer(bytes, n, container)) {
      error(indent, format("not a QT atom container (%d)", err));
      return;
    }
    line(indent, format("QT atom container, %zu bytes", n));
    dumpContainerAtom(*container, kParentAtomIsContainer, out_, indent + 1, ok_, 0);
  }

  void dumpVrSamples(const TrackFacts& track, int indent) {
    const std::optional<SampleSizes> sizes = sampleSizes(track.tables);
    if (!sizes) {
      error(indent, "no readable sample size table");
      return;
    }
    const std::uint32_t shown = std::min(sizes->count, kMaxDumpedSamples);
    // Shown whatever their descriptions; the sample description table is dumped above.
    std::vector<SamplePlacement> placements;
    expandSampleTable(track.tables, std::numeric_limits<std::uint32_t>::max(), shown, placements);
    for (std::uint32_t i = 0; i < shown; ++i) {
      if (i >= placements.size()) {
        error(indent, format("sample %u: not found in the sample tables", i + 1));
        return;
      }
      const SamplePlacement& where = placements[i];
      line(indent,
           format("sample %u offset %llu size %u", i + 1, static_cast<unsigned long long>(where.offset), where.size));
      if (where.offset > size_ || where.size > size_ - where.offset) {
        error(indent + 1, "sample lies outside the file");
        continue;
      }
      dumpContainerBytes(data_ + where.offset, where.size, indent + 1);
    }
  }

  // Prints one classic atom below its headline, `indent` levels in.
  using AtomDumper = void (MovieDumper::*)(const ClassicAtom& atom, int indent, const TrackFacts* track);

  // Who prints each atom type that is walked into or shown field by field.
  static AtomDumper atomDumper(OSType type) {
    static constexpr AtomHandler<AtomDumper> kAtomDumpers[] = {
        {fourCC("moov"), &MovieDumper::dumpChildren},
        {fourCC("trak"), &MovieDumper::dumpTrack},
        {fourCC("edts"), &MovieDumper::dumpChildren},
        {fourCC("mdia"), &MovieDumper::dumpChildren},
        {fourCC("minf"), &MovieDumper::dumpChildren},
        {fourCC("dinf"), &MovieDumper::dumpChildren},
        {fourCC("stbl"), &MovieDumper::dumpChildren},
        {fourCC("udta"), &MovieDumper::dumpChildren},
        {fourCC("gmhd"), &MovieDumper::dumpChildren},
        {fourCC("tref"), &MovieDumper::dumpTrackReferences},
        {fourCC("ftyp"), &MovieDumper::dumpFields<dumpFtyp>},
        {fourCC("mvhd"), &MovieDumper::dumpFields<dumpMvhd>},
        {fourCC("tkhd"), &MovieDumper::dumpFields<dumpTkhd>},
        {fourCC("mdhd"), &MovieDumper::dumpFields<dumpMdhd>},
        {fourCC("hdlr"), &MovieDumper::dumpFields<dumpHdlr>},
        {fourCC("vmhd"), &MovieDumper::dumpFields<dumpVmhd>},
        {fourCC("gmin"), &MovieDumper::dumpFields<dumpGmin>},
        {fourCC("elst"), &MovieDumper::dumpFields<dumpElst>},
        {fourCC("stts"), &MovieDumper::dumpFields<dumpStts>},
        {fourCC("stsc"), &MovieDumper::dumpFields<dumpStsc>},
        {fourCC("stss"), &MovieDumper::dumpFields<dumpStss>},
        {fourCC("stco"), &MovieDumper::dumpFields<dumpStco>},
        {fourCC("co64"), &MovieDumper::dumpFields<dumpCo64>},
        {fourCC("stsz"), &MovieDumper::dumpFields<dumpStsz>},
        {fourCC("stsd"), &MovieDumper::dumpSampleDescriptions},
        {fourCC("dref"), &MovieDumper::dumpDataReferences},
        {fourCC("ctyp"), &MovieDumper::dumpFields<dumpCtyp>},
    };
    return findHandler(kAtomDumpers, type);
  }

  Fields fieldsOf(const ClassicAtom& atom, int indent) {
    return Fields(data_ + atom.payloadOffset(), static_cast<std::size_t>(atom.payloadSize()), out_, indent, ok_);
  }

  void dumpAtom(const ClassicAtom& atom, int depth, const TrackFacts* track) {
    line(depth, headline(atom));
    // Any other atom shows its size only.
    if (const AtomDumper dump = atomDumper(atom.type)) (this->*dump)(atom, depth + 1, track);
  }

  template <FieldPrinter print>
  void dumpFields(const ClassicAtom& atom, int indent, const TrackFacts*) {
    Fields f = fieldsOf(atom, indent);
    print(f);
    f.finish();
  }

  void dumpChildren(const ClassicAtom& atom, int indent, const TrackFacts* track) {
    walk(atom.payloadOffset(), atom.end(), indent, false, track);
  }

  void dumpTrack(const ClassicAtom& trak, int indent, const TrackFacts*) {
    const TrackFacts facts = gatherTrack(trak);
    walk(trak.payloadOffset(), trak.end(), indent, false, &facts);
    if (facts.isVr()) {
      line(indent, "samples of the " + fourCCText(facts.handler) + " track:");
      dumpVrSamples(facts, indent + 1);
    }
  }

  void dumpTrackReferences(const ClassicAtom& tref, int indent, const TrackFacts*) {
    const ClassicAtomList refs = readClassicAtoms(data_, size_, tref.payloadOffset(), tref.end(), false);
    for (const ClassicAtom& ref : refs.atoms) {
      line(indent, headline(ref));
      Fields f = fieldsOf(ref, indent + 1);
      while (f.reader().remaining() >= 4) f.u32("trackID");
      f.finish();
    }
    if (!refs.error.empty()) error(indent, refs.error);
  }

  void dumpDataReferences(const ClassicAtom& dref, int indent, const TrackFacts*) {
    Fields f = fieldsOf(dref, indent);
    f.versionAndFlags();
    const std::uint32_t n = f.u32("entryCount");
    const ClassicAtomList entries = readClassicAtoms(data_, size_, dref.payloadOffset() + 8, dref.end(), false);
    for (const ClassicAtom& entry : entries.atoms) {
      line(indent,
           format("entry %s size %llu", fourCCText(entry.type).c_str(), static_cast<unsigned long long>(entry.size)));
      Fields e = fieldsOf(entry, indent + 1);
      e.versionAndFlags();
      e.finish();
    }
    if (!entries.error.empty()) error(indent, entries.error);
    if (entries.atoms.size() != n) error(indent, format("entryCount %u but %zu entries", n, entries.atoms.size()));
  }

  void dumpSampleDescriptions(const ClassicAtom& stsd, int indent, const TrackFacts* track) {
    Fields f = fieldsOf(stsd, indent);
    f.versionAndFlags();
    const std::uint32_t n = f.u32("entryCount");
    if (f.reader().failed()) {
      f.finish();
      return;
    }
    const ClassicAtomList entries = readClassicAtoms(data_, size_, stsd.payloadOffset() + 8, stsd.end(), false);
    std::uint32_t number = 0;
    for (const ClassicAtom& entry : entries.atoms) dumpSampleDescription(entry, ++number, indent, track);
    if (!entries.error.empty()) error(indent, entries.error);
    if (entries.atoms.size() != n) error(indent, format("entryCount %u but %zu entries", n, entries.atoms.size()));
  }

  // A video description field by field; a VR one's QT atom container after its header.
  void dumpSampleDescription(const ClassicAtom& entry, std::uint32_t number, int indent, const TrackFacts* track) {
    line(indent, format("entry %u format %s size %llu", number, fourCCText(entry.type).c_str(),
                        static_cast<unsigned long long>(entry.size)));
    Fields e = fieldsOf(entry, indent + 1);
    e.reader().skip(6);
    e.u16("dataReferenceIndex");
    if (track && track->handler == fourCC("vide") && e.reader().remaining() >= 70) dumpVideoDescription(e);
    if (track && track->isVr() && !e.reader().failed() && e.reader().remaining() > 0) {
      const std::size_t at = e.reader().position();
      dumpContainerBytes(data_ + entry.payloadOffset() + at, e.reader().remaining(), indent + 1);
      return;
    }
    e.finish();
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::ostream& out_;
  bool ok_ = true;
};

}  // namespace

void dumpAtomContainer(const AtomContainer& container, std::ostream& out, int indent) {
  bool ok = true;
  dumpContainerAtom(container, kParentAtomIsContainer, out, indent, ok, 0);
}

bool dumpMovie(const std::uint8_t* data, std::size_t size, std::ostream& out) {
  return MovieDumper(data, size, out).run();
}

}  // namespace kelmira
