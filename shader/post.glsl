// Post-process pass: the stored scene colour onto the window.
vec3 post_pass(vec3 uv)
{
    return vec3(0.0);
}
