// ---------------------------------------------------------------------------
// Scene distance field. `scene_map` returns a scene sample (distance,
// material id, material extra) for the nearest surface and lowers the running
// minimum `glow_dist` for every glowing object it passes. Objects come and go
// by strict time windows on scene_time and by the current shot.
// ---------------------------------------------------------------------------
#define MAT_MISS (-1.0)
#define MAT_FLAT 2.0
#define MAT_RED 3.0
#define MAT_BLACK 4.0
#define MAT_CLOUD 6.0

// Values that depend only on the frame's time, set once per fragment by
// `scene_setup` (after the camera) instead of in every scene_map call.
float cloud_scale = 0.1;       // k: size of the cloud pattern
float cloud_shift = 0.0;       // speed * t: how far the pattern has moved along +z
float cloud_threshold = 0.05;  // h: fbm below this is inside the cloud
vec2 warp_swing = vec2(0.0);   // (cos t, sin t): the swing of everything far along z
float dash_scale = 0.1;        // z scale of the dash rows: 10-unit repeat until 65 s, 2 after
float dash_shift = 0.0;        // 4 * t: how far the dash rows have slid

void scene_setup()
{
    float t = scene_time;
    float speed = 0.5;
    cloud_scale = 0.1;
    cloud_threshold = 0.05;
    if (t >= 45.0) {
        cloud_scale = 4.0;
        speed = 20.0;
    }
    if (t > 45.0) {
        cloud_threshold = 0.1;
    }
    if (t >= 70.0) {
        cloud_threshold = 0.15;
    }
    cloud_shift = speed * t;
    warp_swing = vec2(cos(t), sin(t));
    dash_scale = t > 65.0 ? 0.5 : 0.1;
    dash_shift = 4.0 * t;
}

// An endless bar of square section 0.02 along b's y axis at b.x = -1, b.z = 0.
void light_bar(vec3 b)
{
    b.x += 1.0;
    b.y = mod(b.y + 0.5, 1.0) - 0.5;
    glow_dist = min(glow_dist, sd_box(b, vec3(0.01, 1.0, 0.01)));
}

// A row of flat dashes parallel to b's z axis, 0.8 from it, sliding towards +z.
void light_dashes(vec3 b)
{
    b.z *= dash_scale;
    b.x -= 0.8;
    b.z = mod(b.z + 0.5 - dash_shift, 1.0) - 0.5;
    glow_dist = min(glow_dist, sd_box(b, vec3(0.01, 0.08, 0.05)));
}

vec3 scene_map(vec3 p)
{
    float t = scene_time;
    vec3 pw = p;  // the warped point
    vec3 result = vec3(1e9, MAT_MISS, 0.0);

    // Craft, trail and far light.
    if (t > 45.0) {
        // Everything far along z swings around the z axis; at z = 0 the
        // amount is practically 0, so the craft stays at the origin.
        float a = sin(0.1 * p.z - 0.5 * pi) + 1.0;
        pw.y += warp_swing.y * a;
        pw.x += warp_swing.x * a;

        glow_dist = min(glow_dist, length(p - vec3(0.0, 0.0, -30.0)) - 0.1);

        vec3 q = pw - vec3(0.0, 0.03, 0.0);
        q.yz *= rot2(-0.1);
        float hull = sd_ellipsoid(q, vec3(0.09, 0.08, 0.5));
        q.x = abs(q.x);
        float plate = sd_ellipsoid(q - vec3(0.1, -0.05, 0.1), vec3(0.3, 0.02, 1.0));
        plate = max(0.15 - q.x, plate);
        q.xz *= rot2(0.6);
        q.yx *= rot2(-0.3);
        float wing = sd_ellipsoid(q - vec3(0.4, -0.05, 0.2), vec3(0.4, 0.01, 0.08));
        hull = max(-q.z - 0.05, hull);
        wing = max(q.z - 0.24, wing);
        wing = max(q.x - 0.7, wing);
        hull = smooth_min(hull, wing, 0.05);
        hull = min(hull, sd_ellipsoid(pw + vec3(0.0, 0.02, 0.0), vec3(0.095, 0.05, 0.2)));
        vec3 canopy = vec3(sd_ellipsoid(pw + vec3(0.0, -0.01, 0.04), vec3(0.08, 0.08, 0.12)), MAT_BLACK, 0.0);
        vec3 body = vec3(smooth_min(hull, max(q.z - 0.05, plate), 0.1), MAT_RED, 0.0);
        result = closest(result, closest(canopy, body));

        // The trail: a thin line along the warped z axis from z = 0.3
        // backwards, its glow pulsing back along it at 100 units/s.
        vec3 lambda = pw;
        lambda.z = mod(lambda.z + 0.5, 1.0) - 0.5;
        float trail = sd_box(lambda, vec3(0.0001, 0.0001, 1.0)) + 0.05 * value_noise(vec3(p.z - 100.0 * t));
        trail = max(0.3 - p.z, trail);
        glow_dist = min(glow_dist, trail);
    }

    // Cloud layer, carved away from a tube around the unwarped z axis by a
    // smooth maximum (smooth_min with a negative radius).
    {
        vec3 c = (pw - vec3(0.0, 0.0, cloud_shift)) / cloud_scale;
        float cloud = (fbm(c) - cloud_threshold) * cloud_scale;
        vec3 cloud_sample = vec3(smooth_min(cloud, -length(p.xy), -2.0), MAT_CLOUD, value_noise(800.0 * c));
        result = closest(result, cloud_sample);
    }

    // Opening light point, before the first cut.
    if (shot == -1) {
        glow_dist = min(glow_dist, 0.5 * length(p - vec3(0.5, 0.1, 0.0)) - 0.01);
    }

    // Glow sphere at the origin, textured sphere in front of it, and in
    // shot 16 the thread hanging below.
    if (t > 15.0 && t < 45.0) {
        glow_dist = min(glow_dist, length(p) - 0.48);
        // The skin pattern (two fbm) matters only where the sphere is the
        // nearer candidate, so it is skipped elsewhere; the result is the same.
        float sphere_dist = length(p - vec3(0.0, 0.0, 2.0)) - 0.4;
        if (sphere_dist <= result.x) {  // closest() lets the second candidate win ties
            float pattern = fbm(9.2 * p) - 0.5 * fbm(100.0 * p);
            result = vec3(sphere_dist, pattern < 0.3 ? MAT_CLOUD : MAT_BLACK, pattern * pattern);
        }
        if (shot == 16) {
            float y = mod(p.y + 0.5, 1.0) - 0.5;
            float thread = sd_ellipsoid(vec3(p.x, y, p.z), vec3(0.001, 1.0, 0.001));
            thread = max(p.y + 0.55, thread);
            glow_dist = min(glow_dist, 0.8 * thread);
        }
    }

    // Light dashes and light bars, rippling by a small wobble.
    if (t > 62.0) {
        vec3 wobble = 0.1 * vec3(0.5 * cos(p.x + t) + 0.5,
                                 0.5 * cos(0.5 * p.y + t) + 0.5,
                                 0.5 * cos(1.5 * p.z + t) + 0.5);
        vec3 b = p.xzy - wobble;
        if (t > 92.0) {
            light_bar(b);          // at x = -1
        }
        if (t > 83.0) {
            vec3 turned = b;
            turned.xz *= rot2(pi);
            light_bar(turned);     // at x = +1
        }
        // The turns accumulate: the rows lie at -90, 41.4 and 131.4 degrees.
        vec3 d = p;
        d.xy *= rot2(-0.5 * pi);
        light_dashes(d);
        d.xy *= rot2(0.73 * pi);
        light_dashes(d);
        d.xy *= rot2(0.5 * pi);
        light_dashes(d);
    }

    // The glowing objects compete as one more surface; on a tie they win.
    return closest(result, vec3(glow_dist, MAT_FLAT, 0.0));
}
