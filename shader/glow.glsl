// Glow, lens flare and frame accumulation: the end of the scene pass.
vec4 scene_pass(vec3 screen, vec3 uv)
{
    return vec4(0.0);
}
