#include "check.h"

#include "debug_status.h"
#include "frame_observer.h"
#include "gl_entry.h"
#include "intro.h"
#include "window.h"

#include <cstdio>
#include <cstring>
#include <fstream>

// GL queries used only by the tests.
const GLenum TEST_GL_FRAMEBUFFER_BINDING = 0x8CA6;
const GLenum TEST_GL_TEXTURE_BINDING_2D = 0x8069;
const GLenum TEST_GL_CURRENT_PROGRAM = 0x8B8D;
const GLenum TEST_GL_SHADER_STORAGE_BUFFER_BINDING = 0x90D3;
const GLenum TEST_GL_DRAW_BUFFER0 = 0x8825;
const GLenum TEST_GL_BUFFER_SIZE = 0x8764;
const GLenum TEST_GL_BUFFER_MAPPED = 0x88BC;
const GLenum TEST_GL_BUFFER_STORAGE_FLAGS = 0x8220;
const GLenum TEST_GL_BUFFER_MAP_LENGTH = 0x9120;
const GLenum TEST_GL_TEXTURE_INTERNAL_FORMAT = 0x1003;

typedef void (APIENTRY* get_integeri_v_fn)(GLenum target, GLuint index, GLint* data);
typedef void (APIENTRY* get_buffer_parameteriv_fn)(GLenum target, GLenum name, GLint* data);
typedef void (APIENTRY* delete_buffers_fn)(GLsizei n, const GLuint* buffers);
typedef void (APIENTRY* get_uniformiv_fn)(GLuint program, GLint location, GLint* value);

template <typename Function>
static Function test_gl(const char* name)
{
    return reinterpret_cast<Function>(wglGetProcAddress(name));
}

// Lookup that makes one name go missing: at its n-th lookup, or at every
// lookup when n is 0.
static const char* missing_name = NULL;
static int missing_occurrence = 0;
static int missing_seen = 0;
static int lookup_count = 0;

static PROC WINAPI test_lookup(LPCSTR name)
{
    ++lookup_count;
    if (missing_name && std::strcmp(name, missing_name) == 0) {
        ++missing_seen;
        if (missing_occurrence == 0 || missing_seen == missing_occurrence) {
            return NULL;
        }
    }
    return wglGetProcAddress(name);
}

static void lookup_reset(const char* name, int occurrence)
{
    missing_name = name;
    missing_occurrence = occurrence;
    missing_seen = 0;
    lookup_count = 0;
    gl_lookup = test_lookup;
}

static GLint gl_integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

static long file_size(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        return -1;
    }
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fclose(file);
    return size;
}

// Puts the intro back to its state at process start, releasing what a
// failed intro_init left behind.
static void intro_reset()
{
    GLint buffer = gl_integer(TEST_GL_SHADER_STORAGE_BUFFER_BINDING);
    if (buffer > 0) {
        GLuint name = static_cast<GLuint>(buffer);
        test_gl<delete_buffers_fn>("glDeleteBuffers")(1, &name);
    }
    if (intro_state.wave_out) {
        waveOutClose(intro_state.wave_out);
    }
    intro_state = IntroState();
    gl_entry_table = GlEntryTable();
}

static void test_window_init()
{
    check_case("window_init");
    window_context.instance = GetModuleHandleA(NULL);
    CHECK_INT(window_init(&window_context), 1);
    HWND window = window_context.window;
    CHECK(window != NULL);
    CHECK(window_context.device_context != NULL);
    CHECK(window_context.gl_context != NULL);
    CHECK(wglGetCurrentContext() == window_context.gl_context);

    char text[64];
    GetClassNameA(window, text, sizeof(text));
    CHECK_TEXT(std::string(text), "qv_");
    GetWindowTextA(window, text, sizeof(text));
    CHECK_TEXT(std::string(text), "Intro");
    CHECK(IsWindowVisible(window));
    CHECK_INT(GetClassLongA(window, GCL_STYLE), 0x23);
    DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    CHECK_INT(style & 0x90CF0000u, 0x90CF0000u);

    RECT client;
    GetClientRect(window, &client);
    CHECK_INT(client.right - client.left, 1280);
    CHECK_INT(client.bottom - client.top, 720);

    // Centred: the outer rectangle's centre is the screen's, to a pixel.
    RECT outer;
    GetWindowRect(window, &outer);
    int screen_width = GetSystemMetrics(SM_CXSCREEN);
    int screen_height = GetSystemMetrics(SM_CYSCREEN);
    int dx = (outer.left + outer.right) - screen_width;
    int dy = (outer.top + outer.bottom) - screen_height;
    CHECK(dx >= -1 && dx <= 0);
    CHECK(dy >= -1 && dy <= 0);

    // The plain context must offer OpenGL 4.4 or later.
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0;
    int minor = 0;
    CHECK(version && std::sscanf(version, "%d.%d", &major, &minor) == 2);
    CHECK(major * 10 + minor >= 44);
}

static void test_size_sets_viewport()
{
    struct Case {
        int width;
        int height;
    };
    const Case cases[] = { { 640, 360 }, { 0, 0 }, { 1920, 1080 }, { 1280, 720 } };
    for (const Case& c : cases) {
        check_case("WM_SIZE viewport " + std::to_string(c.width) + "x" + std::to_string(c.height));
        LRESULT result = SendMessageA(window_context.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
        CHECK_INT(result, 0);   // DefWindowProcA's answer to WM_SIZE
        GLint viewport[4] = { -1, -1, -1, -1 };
        glGetIntegerv(GL_VIEWPORT, viewport);
        CHECK_INT(viewport[0], 0);
        CHECK_INT(viewport[1], 0);
        CHECK_INT(viewport[2], c.width);
        CHECK_INT(viewport[3], c.height);
    }
}

static void test_entry_table()
{
    check_case("entry names");
    const char* const expected[GL_ENTRY_COUNT] = {
        "glCreateShaderProgramv", "glGenProgramPipelines", "glBindProgramPipeline", "glUseProgramStages",
        "glProgramUniform1f", "glGenFramebuffers", "glBindFramebuffer", "glTexStorage2D", "glDrawBuffers",
        "glFramebufferTexture", "glGetProgramiv", "glGetProgramInfoLog", "glGetShaderInfoLog",
    };
    for (int index = 0; index < GL_ENTRY_COUNT; ++index) {
        CHECK_TEXT(std::string(gl_entry_names[index]), expected[index]);
    }

    check_case("load all entries");
    lookup_reset(NULL, 0);
    CHECK_INT(load_gl_entry_points(), 1);
    CHECK_INT(lookup_count, 13);
    for (int index = 0; index < GL_ENTRY_COUNT; ++index) {
        CHECK(gl_entry_table.entries[index] != NULL);
    }

    // A missing entry stops the loading there: later names are not tried.
    struct Case {
        const char* name;
        int lookups;
    };
    const Case cases[] = { { "glCreateShaderProgramv", 1 }, { "glTexStorage2D", 8 }, { "glGetShaderInfoLog", 13 } };
    for (const Case& c : cases) {
        check_case(std::string("load stops at missing ") + c.name);
        gl_entry_table = GlEntryTable();
        lookup_reset(c.name, 0);
        CHECK_INT(load_gl_entry_points(), 0);
        CHECK_INT(lookup_count, c.lookups);
        for (int index = c.lookups - 1; index < GL_ENTRY_COUNT; ++index) {
            CHECK(gl_entry_table.entries[index] == NULL);
        }
    }
    gl_entry_table = GlEntryTable();
}

static void test_wave_format()
{
    check_case("wave format");
    WAVEFORMATEX format = intro_wave_format();
    CHECK_INT(format.wFormatTag, 3);
    CHECK_INT(format.nChannels, 2);
    CHECK_INT(format.nSamplesPerSec, 44100);
    CHECK_INT(format.nAvgBytesPerSec, 352800);
    CHECK_INT(format.nBlockAlign, 8);
    CHECK_INT(format.wBitsPerSample, 32);
    CHECK_INT(format.cbSize, 0);
    CHECK_INT(AUDIO_BUFFER_BYTES, 44100000);
    CHECK_INT(AUDIO_BUFFER_FLAGS, 0xC1);
#ifndef _WIN64
    // The intro is a 32-bit program; the 64-bit test build has larger headers.
    CHECK_INT(sizeof(WAVEHDR), 32);
#endif
    CHECK_INT(draw_buffers[0], 0x8CE0);
}

static void test_missing_entries_fail_init()
{
    // Every entry point, from the table or looked up by name where it is
    // used, fails start-up when missing instead of being called through a
    // null pointer. glCreateShaderProgramv is looked up twice: once for the
    // table, once by name.
    struct Case {
        const char* name;
        int occurrence;
        bool device_opened;
    };
    const Case cases[] = {
        { "glCreateShaderProgramv", 1, false },
        { "glGetShaderInfoLog", 1, false },
        { "glGenBuffers", 1, false },
        { "glBindBuffer", 1, false },
        { "glBufferStorage", 1, false },
        { "glBindBufferBase", 1, false },
        { "glMapBufferRange", 1, false },
        { "glCreateShaderProgramv", 2, true },
        { "glUseProgram", 1, true },
        { "glUniform1i", 1, true },
    };

    // The debug log is created empty, also over an older file and also when
    // start-up fails later.
    {
        std::ofstream old_log("dbgout.txt");
        old_log << "left over from an earlier run\n";
    }
    CHECK(file_size("dbgout.txt") > 0);

    for (const Case& c : cases) {
        check_case(std::string("intro_init without ") + c.name + " #" + std::to_string(c.occurrence));
        lookup_reset(c.name, c.occurrence);
        CHECK_INT(intro_init(), 0);
        CHECK_INT(missing_seen, c.occurrence);
        CHECK((intro_state.wave_out != NULL) == c.device_opened);
        CHECK_INT(file_size("dbgout.txt"), 0);
        intro_reset();
    }
}

static void test_init_frame_shutdown()
{
    check_case("intro_init");
    lookup_reset(NULL, 0);
    CHECK_INT(intro_init(), 1);
    CHECK(intro_state.wave_out != NULL);
    CHECK(intro_state.audio_samples != NULL);
    CHECK(intro_state.program != 0);
    CHECK(reinterpret_cast<void*>(intro_state.wave_header.lpData) == intro_state.audio_samples);
    CHECK_INT(intro_state.wave_header.dwBufferLength, 44100000);
    CHECK_INT(intro_state.wave_header.dwFlags, 0);
    CHECK_INT(intro_state.wave_header.dwLoops, 0);
    CHECK_INT(intro_state.frame_counter, 0);
    CHECK_INT(file_size("dbgout.txt"), 0);

    check_case("shader program linked");
    {
        GLint linked = 0;
        GL_ENTRY(10, gl_get_programiv_fn)(intro_state.program, 0x8B82, &linked);
        CHECK_INT(linked, 1);
        if (!linked) {
            char log[1024] = "";
            GL_ENTRY(11, gl_get_program_info_log_fn)(intro_state.program, sizeof(log), NULL, log);
            std::printf("program log: %s\n", log);
        }
    }

    check_case("state left in GL");
    CHECK_INT(gl_integer(TEST_GL_CURRENT_PROGRAM), intro_state.program);
    CHECK_INT(gl_integer(TEST_GL_FRAMEBUFFER_BINDING), intro_state.framebuffer);
    CHECK_INT(gl_integer(TEST_GL_TEXTURE_BINDING_2D), intro_state.targets[1]);
    CHECK_INT(gl_integer(TEST_GL_DRAW_BUFFER0), 0x8CE0);
    for (int index = 0; index < 2; ++index) {
        glBindTexture(GL_TEXTURE_2D, intro_state.targets[index]);
        GLint width = 0;
        GLint height = 0;
        GLint internal_format = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, TEST_GL_TEXTURE_INTERNAL_FORMAT, &internal_format);
        CHECK_INT(width, 1280);
        CHECK_INT(height, 720);
        CHECK_INT(internal_format, 0x805B);
    }
    glBindTexture(GL_TEXTURE_2D, intro_state.targets[1]);

    // The whole buffer is bound at index 0, so the shader's bound test
    // against the array length covers exactly the 5,512,500 frames.
    check_case("audio buffer bound whole and mapped");
    GLint general = gl_integer(TEST_GL_SHADER_STORAGE_BUFFER_BINDING);
    GLint indexed = -1;
    test_gl<get_integeri_v_fn>("glGetIntegeri_v")(TEST_GL_SHADER_STORAGE_BUFFER_BINDING, 0, &indexed);
    CHECK(general > 0);
    CHECK_INT(indexed, general);
    get_buffer_parameteriv_fn buffer_parameter = test_gl<get_buffer_parameteriv_fn>("glGetBufferParameteriv");
    GLint value = -1;
    buffer_parameter(GL_SHADER_STORAGE_BUFFER, TEST_GL_BUFFER_SIZE, &value);
    CHECK_INT(value, 44100000);
    buffer_parameter(GL_SHADER_STORAGE_BUFFER, TEST_GL_BUFFER_STORAGE_FLAGS, &value);
    CHECK_INT(value, 0xC1);
    buffer_parameter(GL_SHADER_STORAGE_BUFFER, TEST_GL_BUFFER_MAPPED, &value);
    CHECK_INT(value, 1);
    buffer_parameter(GL_SHADER_STORAGE_BUFFER, TEST_GL_BUFFER_MAP_LENGTH, &value);
    CHECK_INT(value, 44100000);

    // The first two frames run under the frame observer: the first reads
    // position 0 (the device has not started), the second a chosen one.
    check_case("first frame");
    debug_status = DebugStatus();
    debug_status_set_window(window_context.window);
    CHECK_INT(frame_observer_start(), 1);
    frame_observer_report_position(0);
    intro_frame();
    check_observed_frame(0, 0);
    check_case("first frame");
    CHECK_INT(intro_state.frame_counter, 1);
    CHECK(intro_state.time == 0.0f);
    CHECK((intro_state.wave_header.dwFlags & WHDR_PREPARED) != 0);
    CHECK_INT(gl_integer(TEST_GL_FRAMEBUFFER_BINDING), 0);
    CHECK_INT(gl_integer(TEST_GL_TEXTURE_BINDING_2D), intro_state.targets[0]);
    GLint pass = -1;
    test_gl<get_uniformiv_fn>("glGetUniformiv")(intro_state.program, 0, &pass);
    CHECK_INT(pass, 1);
    char title[DEBUG_STATUS_TEXT_SIZE];
    GetWindowTextA(window_context.window, title, sizeof(title));
    CHECK_TEXT(std::string(title), "TIME: 0.00   FRAME: 1   FPS: 0.00 / inf");

    check_case("second frame");
    frame_observer_clear();
    frame_observer_report_position(98765);
    intro_frame();
    check_observed_frame(1, 98765);
    frame_observer_stop();
    check_case("second frame");
    CHECK_INT(intro_state.frame_counter, 2);
    CHECK_INT(gl_integer(TEST_GL_TEXTURE_BINDING_2D), intro_state.targets[1]);
    CHECK(intro_state.time >= 0.0f && intro_state.time < 125.0f);

    // glUniform1i missing in a frame: the calls are skipped, not made
    // through a null pointer.
    check_case("frame without glUniform1i");
    lookup_reset("glUniform1i", 0);
    intro_frame();
    CHECK_INT(missing_seen, 3);
    CHECK_INT(intro_state.frame_counter, 3);
    lookup_reset(NULL, 0);

    // Shutdown during playback stops the device first, so the header can be
    // unprepared and the device no longer reads the mapped buffer.
    check_case("shutdown while playing");
    // The test device plays faster than real time: on a loaded machine it
    // can have played the whole buffer during the frames above. Queue the
    // header again then, so that shutdown really meets a playing device.
    if ((intro_state.wave_header.dwFlags & WHDR_INQUEUE) == 0) {
        waveOutWrite(intro_state.wave_out, &intro_state.wave_header, sizeof(WAVEHDR));
    }
    CHECK((intro_state.wave_header.dwFlags & WHDR_INQUEUE) != 0);
    intro_shutdown();
    CHECK((intro_state.wave_header.dwFlags & WHDR_PREPARED) == 0);
    CHECK((intro_state.wave_header.dwFlags & WHDR_INQUEUE) == 0);
    CHECK((intro_state.wave_header.dwFlags & WHDR_DONE) != 0);
}

static void test_window_shutdown()
{
    check_case("window_shutdown");
    HWND window = window_context.window;
    window_shutdown(&window_context);
    CHECK(!IsWindow(window));
    CHECK(wglGetCurrentContext() == NULL);
    WNDCLASSA window_class;
    CHECK(!GetClassInfoA(window_context.instance, "qv_", &window_class));
    MSG message;
    CHECK(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));   // from WM_DESTROY
}

void test_intro()
{
    test_wave_format();
    test_window_init();
    if (!wglGetCurrentContext()) {
        check_case("intro");
        CHECK(!"no GL context: the GL and intro tests cannot run");
        return;
    }
    test_size_sets_viewport();
    test_entry_table();
    test_missing_entries_fail_init();
    test_init_frame_shutdown();
    gl_lookup = wglGetProcAddress;
    test_window_shutdown();
}
