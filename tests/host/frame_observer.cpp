#include "frame_observer.h"

#include <mmsystem.h>

#include <string>

#include "check.h"
#include "gl_entry.h"
#include "import_patch.h"
#include "intro.h"

// GL names used only for the queries here.
const GLenum OBSERVE_FRAMEBUFFER_BINDING = 0x8CA6;
const GLenum OBSERVE_FRAMEBUFFER = 0x8D40;
const GLenum OBSERVE_COLOR_ATTACHMENT0 = 0x8CE0;
const GLenum OBSERVE_ATTACHMENT_TYPE = 0x8CD0;
const GLenum OBSERVE_ATTACHMENT_NAME = 0x8CD1;
const GLenum OBSERVE_ATTACHMENT_LEVEL = 0x8CD2;
const GLenum OBSERVE_ACTIVE_TEXTURE = 0x84E0;
const GLenum OBSERVE_TEXTURE_BINDING_2D = 0x8069;
const GLenum OBSERVE_CURRENT_PROGRAM = 0x8B8D;
const GLint OBSERVE_TEXTURE0 = 0x84C0;
const GLint OBSERVE_TEXTURE_TYPE = 0x1702;

typedef void (APIENTRY* rects_fn)(GLshort x1, GLshort y1, GLshort x2, GLshort y2);
typedef MMRESULT (WINAPI* get_position_fn)(HWAVEOUT device, LPMMTIME time, UINT size);
typedef MMRESULT (WINAPI* header_fn)(HWAVEOUT device, LPWAVEHDR header, UINT size);
typedef void (APIENTRY* attachment_parameter_fn)(GLenum target, GLenum attachment, GLenum name, GLint* value);
typedef void (APIENTRY* get_uniformiv_fn)(GLuint program, GLint location, GLint* value);

static rects_fn real_rects = NULL;
static get_position_fn real_get_position = NULL;
static header_fn real_prepare = NULL;
static header_fn real_write = NULL;
static long long reported_position = -1;
static std::vector<ObservedCall> observed;

static ObservedCall observed_call(ObservedKind kind)
{
    ObservedCall call;
    ZeroMemory(&call, sizeof(call));
    call.kind = kind;
    call.position = -1;
    return call;
}

static GLint observe_integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

static void APIENTRY observe_rects(GLshort x1, GLshort y1, GLshort x2, GLshort y2)
{
    ObservedCall call = observed_call(OBSERVED_DRAW);
    call.corners[0] = x1;
    call.corners[1] = y1;
    call.corners[2] = x2;
    call.corners[3] = y2;
    call.framebuffer = observe_integer(OBSERVE_FRAMEBUFFER_BINDING);
    call.attachment_type = 0;
    call.attachment = 0;
    call.attachment_level = -1;
    if (call.framebuffer != 0) {
        attachment_parameter_fn parameter = reinterpret_cast<attachment_parameter_fn>(
            wglGetProcAddress("glGetFramebufferAttachmentParameteriv"));
        parameter(OBSERVE_FRAMEBUFFER, OBSERVE_COLOR_ATTACHMENT0, OBSERVE_ATTACHMENT_TYPE, &call.attachment_type);
        parameter(OBSERVE_FRAMEBUFFER, OBSERVE_COLOR_ATTACHMENT0, OBSERVE_ATTACHMENT_NAME, &call.attachment);
        parameter(OBSERVE_FRAMEBUFFER, OBSERVE_COLOR_ATTACHMENT0, OBSERVE_ATTACHMENT_LEVEL, &call.attachment_level);
    }
    call.active_unit = observe_integer(OBSERVE_ACTIVE_TEXTURE);
    call.texture = observe_integer(OBSERVE_TEXTURE_BINDING_2D);
    call.program = observe_integer(OBSERVE_CURRENT_PROGRAM);
    call.m = -1;
    call.v = -1;
    get_uniformiv_fn uniform = reinterpret_cast<get_uniformiv_fn>(wglGetProcAddress("glGetUniformiv"));
    if (call.program > 0) {
        uniform(static_cast<GLuint>(call.program), 0, &call.m);
        uniform(static_cast<GLuint>(call.program), 1, &call.v);
    }
    observed.push_back(call);
    real_rects(x1, y1, x2, y2);
}

static MMRESULT WINAPI observe_get_position(HWAVEOUT device, LPMMTIME time, UINT size)
{
    MMRESULT result = real_get_position(device, time, size);
    if (reported_position >= 0 && time && time->wType == TIME_SAMPLES) {
        time->u.sample = static_cast<DWORD>(reported_position);
    }
    ObservedCall call = observed_call(OBSERVED_POSITION);
    call.position = time ? static_cast<long long>(time->u.sample) : -1;
    observed.push_back(call);
    return result;
}

static MMRESULT WINAPI observe_prepare(HWAVEOUT device, LPWAVEHDR header, UINT size)
{
    observed.push_back(observed_call(OBSERVED_PREPARE));
    return real_prepare(device, header, size);
}

static MMRESULT WINAPI observe_write(HWAVEOUT device, LPWAVEHDR header, UINT size)
{
    observed.push_back(observed_call(OBSERVED_WRITE));
    return real_write(device, header, size);
}

int frame_observer_start()
{
    observed.clear();
    reported_position = -1;
    real_rects = reinterpret_cast<rects_fn>(
        import_patch("opengl32.dll", "glRects", reinterpret_cast<void*>(observe_rects)));
    real_get_position = reinterpret_cast<get_position_fn>(
        import_patch("winmm.dll", "waveOutGetPosition", reinterpret_cast<void*>(observe_get_position)));
    real_prepare = reinterpret_cast<header_fn>(
        import_patch("winmm.dll", "waveOutPrepareHeader", reinterpret_cast<void*>(observe_prepare)));
    real_write = reinterpret_cast<header_fn>(
        import_patch("winmm.dll", "waveOutWrite", reinterpret_cast<void*>(observe_write)));
    if (real_rects && real_get_position && real_prepare && real_write) {
        return 1;
    }
    frame_observer_stop();
    return 0;
}

void frame_observer_stop()
{
    if (real_rects) {
        import_patch("opengl32.dll", "glRects", reinterpret_cast<void*>(real_rects));
    }
    if (real_get_position) {
        import_patch("winmm.dll", "waveOutGetPosition", reinterpret_cast<void*>(real_get_position));
    }
    if (real_prepare) {
        import_patch("winmm.dll", "waveOutPrepareHeader", reinterpret_cast<void*>(real_prepare));
    }
    if (real_write) {
        import_patch("winmm.dll", "waveOutWrite", reinterpret_cast<void*>(real_write));
    }
    real_rects = NULL;
    real_get_position = NULL;
    real_prepare = NULL;
    real_write = NULL;
    reported_position = -1;
}

void frame_observer_report_position(long long position)
{
    reported_position = position;
}

const std::vector<ObservedCall>& frame_observer_calls()
{
    return observed;
}

void frame_observer_clear()
{
    observed.clear();
}

static void check_draw(const ObservedCall& call, int pass, long long position, GLint reads, GLint writes)
{
    CHECK_INT(call.kind, OBSERVED_DRAW);
    CHECK_INT(call.corners[0], -1);
    CHECK_INT(call.corners[1], -1);
    CHECK_INT(call.corners[2], 1);
    CHECK_INT(call.corners[3], 1);
    CHECK_INT(call.program, intro_state.program);
    CHECK_INT(call.m, pass);
    CHECK_INT(call.v, position);
    // The shader's w reads texture unit 0.
    CHECK_INT(call.active_unit, OBSERVE_TEXTURE0);
    CHECK_INT(call.texture, reads);
    if (pass == 0) {
        CHECK_INT(call.framebuffer, intro_state.framebuffer);
        CHECK(call.framebuffer != 0);
        CHECK_INT(call.attachment_type, OBSERVE_TEXTURE_TYPE);
        CHECK_INT(call.attachment, writes);
        CHECK_INT(call.attachment_level, 0);
        CHECK(call.attachment != call.texture);   // never reads what it writes
    } else {
        CHECK_INT(call.framebuffer, 0);
    }
}

void check_observed_frame(int frame, long long position)
{
    const std::vector<ObservedCall>& calls = observed;
    const bool first = frame == 0;
    const size_t expected_calls = first ? 5 : 3;
    CHECK_INT(calls.size(), expected_calls);
    if (calls.size() != expected_calls) {
        return;
    }
    GLint current = static_cast<GLint>(intro_state.targets[frame & 1]);
    GLint previous = static_cast<GLint>(intro_state.targets[(frame + 1) & 1]);
    CHECK(current != previous);

    CHECK_INT(calls[0].kind, OBSERVED_POSITION);
    CHECK_INT(calls[0].position, position);
    check_case(std::string("scene pass of frame ") + std::to_string(frame + 1));
    check_draw(calls[1], 0, position, previous, current);
    size_t next = 2;
    if (first) {
        // Playback starts right after the first scene pass has been issued.
        check_case("playback start of the first frame");
        CHECK_INT(calls[2].kind, OBSERVED_PREPARE);
        CHECK_INT(calls[3].kind, OBSERVED_WRITE);
        next = 4;
    }
    check_case(std::string("post pass of frame ") + std::to_string(frame + 1));
    check_draw(calls[next], 1, position, current, 0);

    // The framebuffer keeps the target this frame drew into.
    check_case(std::string("after frame ") + std::to_string(frame + 1));
    gl_bind_framebuffer_fn bind_framebuffer = GL_ENTRY(GL_ENTRY_BIND_FRAMEBUFFER, gl_bind_framebuffer_fn);
    attachment_parameter_fn parameter = reinterpret_cast<attachment_parameter_fn>(
        wglGetProcAddress("glGetFramebufferAttachmentParameteriv"));
    GLint attached = -1;
    bind_framebuffer(OBSERVE_FRAMEBUFFER, intro_state.framebuffer);
    parameter(OBSERVE_FRAMEBUFFER, OBSERVE_COLOR_ATTACHMENT0, OBSERVE_ATTACHMENT_NAME, &attached);
    bind_framebuffer(OBSERVE_FRAMEBUFFER, 0);
    CHECK_INT(attached, current);
    CHECK_INT(intro_state.frame_counter, frame + 1);
    CHECK(intro_state.time == static_cast<float>(position) / 44100.0f);
}
