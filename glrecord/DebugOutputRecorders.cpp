// Debug output: messages the application inserts, which messages it wants, its callback and the
// message log it reads.
#include <cstring>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

void GLKestrel::glDebugMessageInsertARB(kgl::GLenum source, kgl::GLenum type, kgl::GLuint id, kgl::GLenum severity,
                                        kgl::GLsizei length, const kgl::GLchar* buf) {
    EnterCall();
    CallReal<void>(*this, fn::glDebugMessageInsertARB, api::glDebugMessageInsertARB, source, type, id, severity, length,
                   buf);
    if (ShouldRecordOrLeave()) return;
    // The message with a NUL after it. A message given with a length is exactly that many characters
    // and need not end in a NUL: the recorder adds one. Drivers refuse messages far shorter than the
    // cap, which keeps a wild length from being copied.
    constexpr kgl::GLsizei kLongestMessage = 64 * 1024;
    std::uint32_t characters = 0;
    if (buf)
        characters = static_cast<std::uint32_t>(length >= 0 ? (length < kLongestMessage ? length : kLongestMessage)
                                                             : static_cast<kgl::GLsizei>(std::strlen(buf)));
    const std::uint32_t bytes = buf ? characters + 1 : 0;
    const std::uint32_t readable = buf ? ReadablePrefix(buf, characters, SystemReadable) : 0;
    const Packed<kgl::GLenum, kgl::GLenum, kgl::GLuint, kgl::GLenum, kgl::GLsizei, const kgl::GLchar*> fixed(
        source, type, id, severity, length, buf);
    BeginRecord(api::glDebugMessageInsertARB, sizeof fixed.bytes + bytes);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    if (buf) {
        static const char kZero = 0;
        WriteData(readable, buf);
        WriteBlock(characters - readable, nullptr);
        WriteData(1, &kZero);
    }
    LeaveCall();
}

void GLKestrel::glDebugMessageControlARB(kgl::GLenum source, kgl::GLenum type, kgl::GLenum severity, kgl::GLsizei count,
                                         const kgl::GLuint* ids, kgl::GLboolean enabled) {
    EnterCall();
    CallReal<void>(*this, fn::glDebugMessageControlARB, api::glDebugMessageControlARB, source, type, severity, count, ids,
                   enabled);
    if (ShouldRecordOrLeave()) return;
    // The enabled flag as a 4-byte value, unlike the rule for other booleans.
    RecordWithBlock(*this, api::glDebugMessageControlARB, ids, rules::BlockBytes(count, 4u),
                    source, type, severity, count, ids, std::uint32_t{enabled});
    LeaveCall();
}

void GLKestrel::glDebugMessageCallbackARB(kgl::GLDEBUGPROCARB callback, const void* userParam) {
    EnterCall();
    // The application's own callback: the GL calls it directly.
    CallReal<void>(*this, fn::glDebugMessageCallbackARB, api::glDebugMessageCallbackARB, callback, userParam);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDebugMessageCallbackARB, reinterpret_cast<const void*>(callback), userParam);
    LeaveCall();
}

kgl::GLuint GLKestrel::glGetDebugMessageLogARB(kgl::GLuint count, kgl::GLsizei bufSize, kgl::GLenum* sources,
                                               kgl::GLenum* types, kgl::GLuint* ids, kgl::GLenum* severities,
                                               kgl::GLsizei* lengths, kgl::GLchar* messageLog) {
    EnterCall();
    const kgl::GLuint result = CallReal<kgl::GLuint>(*this, fn::glGetDebugMessageLogARB, api::glGetDebugMessageLogARB,
                                                     count, bufSize, sources, types, ids, severities, lengths,
                                                     messageLog);
    if (ShouldRecordOrLeave()) return result;
    // The arguments and how many messages came back; none of the messages themselves.
    RecordValues(*this, api::glGetDebugMessageLogARB, count, bufSize, sources, types, ids, severities, lengths,
                 messageLog, result);
    LeaveCall();
    return result;
}

}  // namespace kestrel
