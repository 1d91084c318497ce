#include "controller/report/CallRole.h"

#include <string_view>
#include <unordered_map>

#include "gen/ApiDescription.h"

namespace kestrel {

namespace {
// The calls that make the GL draw: the draw commands, the end of an immediate-mode primitive, display
// lists (which most often hold geometry; glfw's gears draws nothing else) and rectangles.
bool Draws(std::string_view name) {
    if (name.rfind("glDrawBuffer", 0) == 0) return false;  // selects buffers, draws nothing
    if (name.rfind("glDraw", 0) == 0 || name.rfind("glMultiDraw", 0) == 0) return true;
    if (name == "glEnd" || name == "glCallList" || name == "glCallLists") return true;
    return name.rfind("glRect", 0) == 0 && name.size() <= 8;  // glRectf, glRectiv, ...
}

class Roles {
public:
    Roles() {
        for (const description::ApiDescription& api : description::kApis) {
            const std::string_view name = api.name;
            if (Draws(name))
                roles_[api.apiId] = CallRole::Draw;
            else if (name == "glPushDebugGroup")
                roles_[api.apiId] = CallRole::PushGroup;
            else if (name == "glPopDebugGroup")
                roles_[api.apiId] = CallRole::PopGroup;
        }
    }
    CallRole Of(std::uint32_t id) const {
        const auto at = roles_.find(id);
        return at == roles_.end() ? CallRole::Other : at->second;
    }

private:
    std::unordered_map<std::uint32_t, CallRole> roles_;
};
}  // namespace

CallRole RoleOfCall(std::uint32_t apiId) {
    static const Roles roles;
    return roles.Of(apiId);
}

}  // namespace kestrel
