#include "controller/reading/ValueFormatter.h"

#include <cstring>
#include <string_view>

#include "gen/EnumNames.h"

namespace kestrel {

namespace {
using description::ValueKind;

std::uint64_t Unsigned(const std::uint8_t* at, unsigned width) {
    std::uint64_t value = 0;
    std::memcpy(&value, at, width <= 8 ? width : 8);  // little-endian, like the capture
    return value;
}

std::int64_t Signed(const std::uint8_t* at, unsigned width) {
    const std::uint64_t value = Unsigned(at, width);
    if (width >= 8) return static_cast<std::int64_t>(value);
    const std::uint64_t sign = std::uint64_t{1} << (width * 8 - 1);
    return static_cast<std::int64_t>((value ^ sign) - sign);
}

float HalfToFloat(std::uint16_t half) {
    const std::uint32_t sign = (half >> 15) & 1u, exponent = (half >> 10) & 31u, mantissa = half & 1023u;
    float magnitude;
    if (exponent == 0) {
        magnitude = static_cast<float>(mantissa) / 16777216.0f;  // subnormal: mantissa x 2^-24
    } else if (exponent == 31) {
        std::uint32_t bits = 0x7F800000u | (mantissa << 13);
        std::memcpy(&magnitude, &bits, 4);
    } else {
        std::uint32_t bits = ((exponent + 112u) << 23) | (mantissa << 13);
        std::memcpy(&magnitude, &bits, 4);
    }
    return sign ? -magnitude : magnitude;
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

bool IsPrimitiveMode(std::string_view function, std::string_view parameter) {
    if (parameter == "primitiveMode") return true;
    if (parameter != "mode") return false;
    if (StartsWith(function, "glDrawBuffer") || StartsWith(function, "glDrawPixels")) return false;
    return StartsWith(function, "glBegin") || StartsWith(function, "glDraw") || StartsWith(function, "glMultiDraw");
}

bool IsBlendFactor(std::string_view parameter) {
    return parameter.find("factor") != std::string_view::npos || parameter == "srcRGB" || parameter == "dstRGB" ||
           parameter == "srcAlpha" || parameter == "dstAlpha";
}

bool IsStencilOp(std::string_view function) { return StartsWith(function, "glStencilOp"); }
}  // namespace

const char* ValueFormatter::EnumName(std::uint32_t value, const char* function, const char* parameter) {
    if (value > 1) return description::FindEnumName(value);
    // The registry's one name for 0 and 1 is GL_FALSE and GL_TRUE; the parameter says which is meant.
    const std::string_view f = function ? function : "", p = parameter ? parameter : "";
    if (IsPrimitiveMode(f, p)) return value ? "GL_LINES" : "GL_POINTS";
    if (IsBlendFactor(p)) return value ? "GL_ONE" : "GL_ZERO";
    if (value == 0) {
        if (IsStencilOp(f)) return "GL_ZERO";
        if (p == "result") return "GL_NO_ERROR";
        return "GL_NONE";
    }
    return nullptr;
}

void ValueFormatter::Append(TextOutput& out, ValueKind kind, unsigned width, const std::uint8_t* at,
                            const char* function, const char* parameter) {
    switch (kind) {
        case ValueKind::SignedInt:
            out.Signed(Signed(at, width));
            return;
        case ValueKind::UnsignedInt:
            out.Unsigned(Unsigned(at, width));
            return;
        case ValueKind::Enum: {
            const auto value = static_cast<std::uint32_t>(Unsigned(at, width));
            if (const char* name = EnumName(value, function, parameter))
                out << name;
            else
                out.Hex(value, 4);
            return;
        }
        case ValueKind::Boolean: {
            const std::uint64_t value = Unsigned(at, width);
            if (value <= 1)
                out << (value ? "GL_TRUE" : "GL_FALSE");
            else
                out.Unsigned(value);
            return;
        }
        case ValueKind::Float:
            if (width == 4) {
                float value;
                std::memcpy(&value, at, 4);
                out.Float(value);
            } else {
                out.Hex(Unsigned(at, width), static_cast<int>(width * 2));
            }
            return;
        case ValueKind::Double:
            if (width == 8) {
                double value;
                std::memcpy(&value, at, 8);
                out.Double(value);
            } else {
                out.Hex(Unsigned(at, width), static_cast<int>(width * 2));
            }
            return;
        case ValueKind::Half:
            out.Float(HalfToFloat(static_cast<std::uint16_t>(Unsigned(at, width))));
            return;
        case ValueKind::Char: {
            const auto c = static_cast<std::uint8_t>(at[0]);
            if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
                const char text[3] = {'\'', static_cast<char>(c), '\''};
                out << std::string_view(text, 3);
            } else {
                out.Signed(static_cast<std::int8_t>(c));
            }
            return;
        }
        case ValueKind::Pointer:
            out.Hex(Unsigned(at, width), static_cast<int>(width * 2));
            return;
        case ValueKind::Bitfield:
        case ValueKind::Handle:
        case ValueKind::Bytes:
            out.Hex(Unsigned(at, width), kind == ValueKind::Bytes ? static_cast<int>(width * 2) : 1);
            return;
    }
    out.Hex(Unsigned(at, width));
}

}  // namespace kestrel
