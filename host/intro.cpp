#include "intro.h"

#if !INTRO_RELEASE
#include "debug_status.h"
#endif
#include "gl_entry.h"
#include "shader_source.h"

IntroState intro_state = {};

const GLenum draw_buffers[1] = { GL_COLOR_ATTACHMENT0 };

WAVEFORMATEX intro_wave_format()
{
    WAVEFORMATEX format;
    format.wFormatTag = 3;  // WAVE_FORMAT_IEEE_FLOAT
    format.nChannels = AUDIO_CHANNELS;
    format.nSamplesPerSec = AUDIO_SAMPLE_RATE;
    format.nAvgBytesPerSec = AUDIO_SAMPLE_RATE * AUDIO_FRAME_BYTES;
    format.nBlockAlign = AUDIO_FRAME_BYTES;
    format.wBitsPerSample = 32;
    format.cbSize = 0;
    return format;
}

// Looks an entry point up by name at its point of use.
template <typename Function>
static Function gl_named(const char* name)
{
    return reinterpret_cast<Function>(gl_lookup(name));
}

int intro_init()
{
#if !INTRO_RELEASE
    debug_log.open("dbgout.txt");
#endif

    if (!load_gl_entry_points()) {
        return 0;
    }

    // Audio buffer: a shader-storage buffer at binding 0, mapped for the
    // device for the rest of the run. A missing entry point fails start-up
    // like a missing table entry.
    GLuint buffer = 0;
    gl_gen_buffers_fn gen_buffers = gl_named<gl_gen_buffers_fn>("glGenBuffers");
    if (!gen_buffers) {
        return 0;
    }
    gen_buffers(1, &buffer);
    gl_bind_buffer_fn bind_buffer = gl_named<gl_bind_buffer_fn>("glBindBuffer");
    if (!bind_buffer) {
        return 0;
    }
    bind_buffer(GL_SHADER_STORAGE_BUFFER, buffer);
    gl_buffer_storage_fn buffer_storage = gl_named<gl_buffer_storage_fn>("glBufferStorage");
    if (!buffer_storage) {
        return 0;
    }
    buffer_storage(GL_SHADER_STORAGE_BUFFER, AUDIO_BUFFER_BYTES, NULL, AUDIO_BUFFER_FLAGS);
    gl_bind_buffer_base_fn bind_buffer_base = gl_named<gl_bind_buffer_base_fn>("glBindBufferBase");
    if (!bind_buffer_base) {
        return 0;
    }
    bind_buffer_base(GL_SHADER_STORAGE_BUFFER, 0, buffer);
    gl_map_buffer_range_fn map_buffer_range = gl_named<gl_map_buffer_range_fn>("glMapBufferRange");
    if (!map_buffer_range) {
        return 0;
    }
    intro_state.audio_samples = static_cast<float*>(
        map_buffer_range(GL_SHADER_STORAGE_BUFFER, 0, AUDIO_BUFFER_BYTES, AUDIO_BUFFER_FLAGS));

    // Wave-out device.
    WAVEFORMATEX format = intro_wave_format();
    if (waveOutOpen(&intro_state.wave_out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != 0) {
        MessageBoxA(NULL, "waveOutOpen failed.", "SoundInfo", MB_ICONWARNING | MB_OK);
        return 0;
    }

    ZeroMemory(&intro_state.wave_header, sizeof(intro_state.wave_header));
    intro_state.wave_header.lpData = reinterpret_cast<LPSTR>(intro_state.audio_samples);
    intro_state.wave_header.dwBufferLength = AUDIO_BUFFER_BYTES;

    // Shader program, in use for the whole run. glUniform1i is looked up
    // here as well so that a missing one fails start-up, not a frame.
    gl_create_shader_programv_fn create_shader_programv =
        gl_named<gl_create_shader_programv_fn>("glCreateShaderProgramv");
    if (!create_shader_programv) {
        return 0;
    }
    intro_state.program = create_shader_programv(GL_FRAGMENT_SHADER, 1, &shader_source);
    gl_use_program_fn use_program = gl_named<gl_use_program_fn>("glUseProgram");
    if (!use_program) {
        return 0;
    }
    use_program(intro_state.program);
    if (!gl_named<gl_uniform1i_fn>("glUniform1i")) {
        return 0;
    }

    // Link check. The shader-log query is made with the program's name,
    // which the GL refuses without writing, so that log starts out empty.
    GLint status = 0;
    char program_log[1024];
    char shader_log[1024];
    program_log[0] = 0;
    shader_log[0] = 0;
    GL_ENTRY(GL_ENTRY_GET_PROGRAMIV, gl_get_programiv_fn)(intro_state.program, GL_LINK_STATUS, &status);
    GL_ENTRY(GL_ENTRY_GET_PROGRAM_INFO_LOG, gl_get_program_info_log_fn)(intro_state.program, 1024, NULL, program_log);
    GL_ENTRY(GL_ENTRY_GET_SHADER_INFO_LOG, gl_get_shader_info_log_fn)(intro_state.program, 1024, NULL, shader_log);
    if (!status) {
        MessageBoxA(NULL, program_log, "ProgramInfo", MB_ICONWARNING | MB_OK);
        MessageBoxA(NULL, shader_log, "ShaderInfo", MB_ICONWARNING | MB_OK);
    }

    // Render targets.
    glGenTextures(2, intro_state.targets);
    for (int index = 0; index < 2; ++index) {
        glBindTexture(GL_TEXTURE_2D, intro_state.targets[index]);
        GL_ENTRY(GL_ENTRY_TEX_STORAGE_2D, gl_tex_storage_2d_fn)(GL_TEXTURE_2D, 1, GL_RGBA16,
                                                                TARGET_WIDTH, TARGET_HEIGHT);
    }

    GL_ENTRY(GL_ENTRY_GEN_FRAMEBUFFERS, gl_gen_framebuffers_fn)(1, &intro_state.framebuffer);
    GL_ENTRY(GL_ENTRY_BIND_FRAMEBUFFER, gl_bind_framebuffer_fn)(GL_FRAMEBUFFER, intro_state.framebuffer);
    GL_ENTRY(GL_ENTRY_DRAW_BUFFERS, gl_draw_buffers_fn)(1, draw_buffers);
    return 1;
}

// Sets a uniform through glUniform1i, looked up at each use; skipped if the
// lookup ever came back empty.
static void intro_set_uniform(GLint location, GLint value)
{
    gl_uniform1i_fn uniform1i = gl_named<gl_uniform1i_fn>("glUniform1i");
    if (uniform1i) {
        uniform1i(location, value);
    }
}

int intro_frame()
{
    MMTIME position;
    ZeroMemory(&position, sizeof(position));
    position.wType = TIME_SAMPLES;
    waveOutGetPosition(intro_state.wave_out, &position, sizeof(position));
    GLint samples = static_cast<GLint>(position.u.sample);
    intro_state.time = static_cast<float>(samples) / 44100.0f;

    gl_bind_framebuffer_fn bind_framebuffer = GL_ENTRY(GL_ENTRY_BIND_FRAMEBUFFER, gl_bind_framebuffer_fn);
    int current = intro_state.frame_counter & 1;
    int previous = (intro_state.frame_counter + 1) & 1;

    // Scene pass into the off-screen target, reading the previous frame.
    bind_framebuffer(GL_FRAMEBUFFER, intro_state.framebuffer);
    GL_ENTRY(GL_ENTRY_FRAMEBUFFER_TEXTURE, gl_framebuffer_texture_fn)(
        GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, intro_state.targets[current], 0);
    glBindTexture(GL_TEXTURE_2D, intro_state.targets[previous]);
    intro_set_uniform(0, 0);
    intro_set_uniform(1, samples);
    glRects(-1, -1, 1, 1);

    // The first frame hands the whole buffer to the device.
    if (!(intro_state.wave_header.dwFlags & WHDR_PREPARED)) {
        waveOutPrepareHeader(intro_state.wave_out, &intro_state.wave_header, sizeof(WAVEHDR));
        waveOutWrite(intro_state.wave_out, &intro_state.wave_header, sizeof(WAVEHDR));
    }

    // Post pass into the window.
    bind_framebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, intro_state.targets[current]);
    intro_set_uniform(0, 1);
    glRects(-1, -1, 1, 1);

    intro_state.frame_counter += 1;
#if INTRO_RELEASE
    return 1;  // the release build has no status line
#else
    return debug_status_update(intro_state.time);
#endif
}

void intro_shutdown()
{
    // Stop playback first: a queued header cannot be unprepared, and the
    // device must not read the mapped buffer once the GL context is gone.
    waveOutReset(intro_state.wave_out);
    waveOutUnprepareHeader(intro_state.wave_out, &intro_state.wave_header, sizeof(WAVEHDR));
    waveOutClose(intro_state.wave_out);
}
