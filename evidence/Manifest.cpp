#include "Manifest.h"

#include "IsoTime.h"
#include "Sha256.h"
#include "base/CUniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>

namespace evidence {

namespace {

using Json = nlohmann::ordered_json;

// What the "format" field says, so that another JSON file is not taken for a manifest.
constexpr char kFormatName[] = "tatview-clip-evidence";
// A manifest nests four deep; anything much deeper is not one, and is refused before the
// parser builds it.
constexpr int kMaxDepth = 16;

constexpr OutputKind kKinds[] = {OutputKind::kClip, OutputKind::kGpx, OutputKind::kCsv,
                                 OutputKind::kCamera};

bool NestedDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

// --- writing ---

Json PointJson(const ClipPoint& point) {
    Json json = Json::object();
    json["recording"] = point.recording;
    json["offset_ms"] = point.offsetMs;
    json["wall_clock"] = point.wallClock;
    return json;
}

Json ToJson(const Manifest& manifest) {
    Json json = Json::object();
    json["format"] = kFormatName;
    json["format_version"] = kManifestFormatVersion;
    json["program"] = {{"name", manifest.programName}, {"version", manifest.programVersion}};
    json["created_utc"] = manifest.createdUtc;

    Json clip = Json::object();
    clip["start"] = PointJson(manifest.start);
    clip["end"] = PointJson(manifest.end);
    clip["camera_minus_gps_ms"] =
        manifest.cameraMinusGpsMs ? Json(*manifest.cameraMinusGpsMs) : Json(nullptr);
    clip["layout"] = manifest.layout;
    clip["overlay"] = {{"on", manifest.overlay.on}, {"fields", manifest.overlay.fields}};
    const EncoderSettings& encoder = manifest.encoder;
    clip["encoder"] = {{"codec", encoder.codec},
                       {"crf", encoder.crf ? Json(*encoder.crf) : Json(nullptr)},
                       {"preset", encoder.preset},
                       {"lossless", encoder.lossless},
                       {"sound", encoder.sound}};
    json["clip"] = std::move(clip);

    Json sources = Json::array();
    for (const SourceFile& source : manifest.sources) {
        sources.push_back({{"path", source.path},
                           {"size_bytes", source.sizeBytes},
                           {"modified_utc", source.modifiedUtc},
                           {"sha256", source.sha256}});
    }
    json["sources"] = std::move(sources);

    Json outputs = Json::array();
    for (const OutputFile& output : manifest.outputs) {
        Json entry = Json::object();
        entry["name"] = output.name;
        entry["kind"] = OutputKindWord(output.kind);
        if (!output.camera.empty())
            entry["camera"] = output.camera;
        entry["size_bytes"] = output.sizeBytes;
        entry["sha256"] = output.sha256;
        outputs.push_back(std::move(entry));
    }
    json["outputs"] = std::move(outputs);
    return json;
}

// --- reading ---
// Each reader takes the object, the key and where the object lies ("outputs[1]"), and on a
// missing or wrong field sets error to "WHERE.KEY: WHY" and returns false.

std::string Where(const std::string& where, const char* key) {
    return where.empty() ? std::string(key) : where + "." + key;
}

const Json* Field(const Json& object, const char* key, const std::string& where,
                  std::string& error) {
    const auto found = object.find(key);
    if (found == object.end()) {
        error = Where(where, key) + ": missing";
        return nullptr;
    }
    return &*found;
}

bool ReadString(const Json& object, const char* key, const std::string& where, std::string& out,
                std::string& error) {
    const Json* value = Field(object, key, where, error);
    if (value == nullptr)
        return false;
    if (!value->is_string()) {
        error = Where(where, key) + ": not a string";
        return false;
    }
    const std::string& text = value->get_ref<const std::string&>();
    if (text.find('\0') != std::string::npos) {
        error = Where(where, key) + ": holds a NUL character";
        return false;
    }
    out = text;
    return true;
}

bool ReadUnsigned(const Json& object, const char* key, const std::string& where, uint64_t& out,
                  std::string& error) {
    const Json* value = Field(object, key, where, error);
    if (value == nullptr)
        return false;
    if (!value->is_number_unsigned()) {
        error = Where(where, key) + ": not a whole number from 0";
        return false;
    }
    out = value->get<uint64_t>();
    return true;
}

bool ReadInteger(const Json& value, const std::string& name, int64_t& out, std::string& error) {
    const bool fits =
        value.is_number_integer() &&
        (!value.is_number_unsigned() ||
         value.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()));
    if (!fits) {
        error = name + ": not a whole number";
        return false;
    }
    out = value.get<int64_t>();
    return true;
}

bool ReadInteger(const Json& object, const char* key, const std::string& where, int64_t& out,
                 std::string& error) {
    const Json* value = Field(object, key, where, error);
    return value != nullptr && ReadInteger(*value, Where(where, key), out, error);
}

bool ReadBool(const Json& object, const char* key, const std::string& where, bool& out,
              std::string& error) {
    const Json* value = Field(object, key, where, error);
    if (value == nullptr)
        return false;
    if (!value->is_boolean()) {
        error = Where(where, key) + ": not true or false";
        return false;
    }
    out = value->get<bool>();
    return true;
}

bool ReadDigest(const Json& object, const std::string& where, std::string& out,
                std::string& error) {
    if (!ReadString(object, "sha256", where, out, error))
        return false;
    if (!IsSha256Hex(out)) {
        error = Where(where, "sha256") + ": not 64 lower-case hex digits";
        return false;
    }
    return true;
}

const Json* ReadObject(const Json& object, const char* key, const std::string& where,
                       std::string& error) {
    const Json* value = Field(object, key, where, error);
    if (value != nullptr && !value->is_object()) {
        error = Where(where, key) + ": not an object";
        return nullptr;
    }
    return value;
}

const Json* ReadArray(const Json& object, const char* key, const std::string& where,
                      std::string& error) {
    const Json* value = Field(object, key, where, error);
    if (value != nullptr && !value->is_array()) {
        error = Where(where, key) + ": not an array";
        return nullptr;
    }
    return value;
}

std::string Item(const char* array, size_t index) {
    return std::string(array) + "[" + std::to_string(index) + "]";
}

bool ReadPoint(const Json& clip, const char* key, ClipPoint& out, std::string& error) {
    const Json* point = ReadObject(clip, key, "clip", error);
    const std::string where = Where("clip", key);
    return point != nullptr && ReadString(*point, "recording", where, out.recording, error) &&
           ReadInteger(*point, "offset_ms", where, out.offsetMs, error) &&
           ReadString(*point, "wall_clock", where, out.wallClock, error);
}

bool ReadClip(const Json& top, Manifest& out, std::string& error) {
    const Json* clip = ReadObject(top, "clip", "", error);
    if (clip == nullptr || !ReadPoint(*clip, "start", out.start, error) ||
        !ReadPoint(*clip, "end", out.end, error))
        return false;
    const auto offset = clip->find("camera_minus_gps_ms");
    if (offset != clip->end() && !offset->is_null()) {
        int64_t ms = 0;
        if (!ReadInteger(*offset, "clip.camera_minus_gps_ms", ms, error))
            return false;
        out.cameraMinusGpsMs = ms;
    }
    if (!ReadString(*clip, "layout", "clip", out.layout, error))
        return false;

    const Json* overlay = ReadObject(*clip, "overlay", "clip", error);
    if (overlay == nullptr || !ReadBool(*overlay, "on", "clip.overlay", out.overlay.on, error))
        return false;
    const Json* fields = ReadArray(*overlay, "fields", "clip.overlay", error);
    if (fields == nullptr)
        return false;
    for (size_t i = 0; i < fields->size(); ++i) {
        const Json& field = (*fields)[i];
        if (!field.is_string()) {
            error = Item("clip.overlay.fields", i) + ": not a string";
            return false;
        }
        out.overlay.fields.push_back(field.get<std::string>());
    }

    const Json* encoder = ReadObject(*clip, "encoder", "clip", error);
    EncoderSettings& settings = out.encoder;
    if (encoder == nullptr || !ReadString(*encoder, "codec", "clip.encoder", settings.codec, error))
        return false;
    const Json* crf = Field(*encoder, "crf", "clip.encoder", error);
    if (crf == nullptr)
        return false;
    if (!crf->is_null()) {
        int64_t value = 0;
        if (!ReadInteger(*crf, "clip.encoder.crf", value, error))
            return false;
        if (value < 0 || value > 255) {
            error = "clip.encoder.crf: out of range";
            return false;
        }
        settings.crf = static_cast<int>(value);
    }
    return ReadString(*encoder, "preset", "clip.encoder", settings.preset, error) &&
           ReadBool(*encoder, "lossless", "clip.encoder", settings.lossless, error) &&
           ReadBool(*encoder, "sound", "clip.encoder", settings.sound, error);
}

bool ReadSources(const Json& top, Manifest& out, std::string& error) {
    const Json* sources = ReadArray(top, "sources", "", error);
    if (sources == nullptr)
        return false;
    for (size_t i = 0; i < sources->size(); ++i) {
        const std::string where = Item("sources", i);
        const Json& entry = (*sources)[i];
        if (!entry.is_object()) {
            error = where + ": not an object";
            return false;
        }
        SourceFile source;
        if (!ReadString(entry, "path", where, source.path, error) ||
            !ReadUnsigned(entry, "size_bytes", where, source.sizeBytes, error) ||
            !ReadString(entry, "modified_utc", where, source.modifiedUtc, error) ||
            !ReadDigest(entry, where, source.sha256, error))
            return false;
        if (source.path.empty()) {
            error = where + ".path: empty";
            return false;
        }
        out.sources.push_back(std::move(source));
    }
    return true;
}

bool ReadOutputs(const Json& top, Manifest& out, std::string& error) {
    const Json* outputs = ReadArray(top, "outputs", "", error);
    if (outputs == nullptr)
        return false;
    for (size_t i = 0; i < outputs->size(); ++i) {
        const std::string where = Item("outputs", i);
        const Json& entry = (*outputs)[i];
        if (!entry.is_object()) {
            error = where + ": not an object";
            return false;
        }
        OutputFile output;
        std::string kind;
        if (!ReadString(entry, "name", where, output.name, error) ||
            !ReadString(entry, "kind", where, kind, error) ||
            !ReadUnsigned(entry, "size_bytes", where, output.sizeBytes, error) ||
            !ReadDigest(entry, where, output.sha256, error))
            return false;
        if (!IsPlainRelativeName(output.name)) {
            error = where + ".name: not a name relative to the manifest's folder";
            return false;
        }
        bool known = false;
        for (const OutputKind candidate : kKinds) {
            if (kind == OutputKindWord(candidate)) {
                output.kind = candidate;
                known = true;
            }
        }
        if (!known) {
            error = where + ".kind: unknown kind \"" + kind + "\"";
            return false;
        }
        if (entry.contains("camera") && !ReadString(entry, "camera", where, output.camera, error))
            return false;
        out.outputs.push_back(std::move(output));
    }
    return true;
}

} // namespace

const char* OutputKindWord(OutputKind kind) {
    switch (kind) {
    case OutputKind::kClip:
        return "clip";
    case OutputKind::kGpx:
        return "gpx";
    case OutputKind::kCsv:
        return "csv";
    case OutputKind::kCamera:
        return "camera";
    }
    return "clip";
}

SourceFile MakeSourceFile(const std::string& path, const FileDigest& digest) {
    return SourceFile{path, digest.sizeBytes, IsoUtcTime(digest.modifiedSeconds), digest.sha256};
}

OutputFile MakeOutputFile(const std::string& name, OutputKind kind, const FileDigest& digest,
                          const std::string& camera) {
    return OutputFile{name, kind, camera, digest.sizeBytes, digest.sha256};
}

bool IsPlainRelativeName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos)
        return false;
    size_t begin = 0;
    for (;;) {
        const size_t slash = name.find('/', begin);
        const std::string_view part =
            name.substr(begin, slash == std::string_view::npos ? name.npos : slash - begin);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        begin = slash + 1;
    }
}

std::string ManifestPathFor(const std::string& clipPath) {
    return std::filesystem::path(clipPath).replace_extension(".manifest.json").string();
}

std::string ManifestJson(const Manifest& manifest) {
    return ToJson(manifest).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

fileio::Result WriteManifest(const std::string& path, const Manifest& manifest) {
    const std::string text = ManifestJson(manifest);
    return fileio::ReplaceFile(path, text.data(), text.size(), fileio::ReplaceOptions{});
}

ManifestRead ParseManifest(std::string_view text) {
    ManifestRead read;
    if (text.size() > kMaxManifestBytes) {
        read.error = "larger than a manifest can be";
        return read;
    }
    if (NestedDeeperThan(text, kMaxDepth)) {
        read.error = "nested deeper than a manifest";
        return read;
    }
    const Json top = Json::parse(text.begin(), text.end(), nullptr, false);
    if (top.is_discarded()) {
        read.error = "not JSON";
        return read;
    }
    if (!top.is_object()) {
        read.error = "not a JSON object";
        return read;
    }
    std::string format;
    int64_t version = 0;
    if (!ReadString(top, "format", "", format, read.error))
        return read;
    if (format != kFormatName) {
        read.error = "format: not a clip evidence record";
        return read;
    }
    if (!ReadInteger(top, "format_version", "", version, read.error))
        return read;
    if (version != kManifestFormatVersion) {
        read.error = "format_version: " + std::to_string(version) + ", this program reads " +
                     std::to_string(kManifestFormatVersion);
        return read;
    }
    Manifest manifest;
    const Json* program = ReadObject(top, "program", "", read.error);
    if (program == nullptr ||
        !ReadString(*program, "name", "program", manifest.programName, read.error) ||
        !ReadString(*program, "version", "program", manifest.programVersion, read.error) ||
        !ReadString(top, "created_utc", "", manifest.createdUtc, read.error) ||
        !ReadClip(top, manifest, read.error) || !ReadSources(top, manifest, read.error) ||
        !ReadOutputs(top, manifest, read.error))
        return read;
    read.manifest = std::move(manifest);
    return read;
}

ManifestRead ReadManifest(const std::string& path) {
    ManifestRead read;
    CUniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.Valid()) {
        read.error = fileio::Result{errno}.Reason();
        return read;
    }
    std::string text;
    const fileio::Result result = fileio::ReadToEnd(file.Get(), text, kMaxManifestBytes);
    if (!result.Ok()) {
        read.error = result.error == EFBIG ? "larger than a manifest can be" : result.Reason();
        return read;
    }
    return ParseManifest(text);
}

} // namespace evidence
