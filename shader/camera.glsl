// ---------------------------------------------------------------------------
// Shot table and camera. `camera` runs once per picture fragment of the scene
// pass and leaves the current shot and the primary ray in the globals below;
// every fragment of a frame computes the same camera.
// ---------------------------------------------------------------------------
float shot_time = 0.0;     // seconds since the current cut began (scene_time before 15 s)
float roll_ramp = 0.0;     // 0.01 * (t - 35): the roll of shot 16 and the flare light of that shot
vec3 cam_pos = vec3(0.0);  // origin of the current ray; the shading loop moves it at reflections
vec3 cam_forward = vec3(0.0);
vec3 ray_dir = vec3(0.0);  // unit direction of the current ray

void camera(vec3 screen)
{
    float t = scene_time;
    shot_time = t;
    float shake = 0.01 * value_noise(vec3(150.0 * t));
    roll_ramp = 0.01 * (t - 35.0);

    // The last cut whose start is at or before t wins; all 20 entries are
    // tested, so a start instant already belongs to the new cut.
    for (int j = 0; j < 20; j++) {
        if (t >= shot_starts[j]) {
            shot_time = t - shot_starts[j];
            shot = shot_ids[j];
        }
    }

    float tau = shot_time;
    vec3 cam_target = vec3(0.0);
    cam_pos = vec3(0.0, 0.0, 4.0 + 0.1 * t);  // the opening set-up, also for unlisted ids
    if (shot == 0) {
        cam_pos = vec3(0.0, -0.5 + 0.1 * tau, 12.0);
    } else if (shot == 1) {
        cam_pos = vec3(0.0, 0.05 * tau, 6.0);
    } else if (shot == 2) {
        cam_pos = vec3(0.0, 0.05 * tau, 3.5);
    } else if (shot == 3) {
        cam_pos = vec3(0.0, shake, -0.7 + 0.04 * tau);
    } else if (shot == 4) {
        cam_pos = vec3(1.8, 0.5 + shake, -6.0 + tau);
    } else if (shot == 5) {
        cam_pos = vec3(1.0, 0.4 + shake, 3.0 + 0.5 * tau);
    } else if (shot == 6) {
        cam_pos = vec3(0.6, 0.1 + shake, -0.4 + 0.02 * tau);
        cam_target = vec3(0.0, 0.0, -0.25 + 0.02 * tau);
    } else if (shot == 8) {
        cam_pos = vec3(2.0, 0.9, -2.4 + 0.2 * tau);
    } else if (shot == 9) {
        cam_pos = vec3(0.5, 0.3 - 0.1 * tau, -2.0);
    } else if (shot == 10) {
        cam_pos = vec3(1.0, 0.4, -30.0 + 25.0 * tau);
    } else if (shot == 11) {
        cam_pos = vec3(-0.2, -0.1, -30.0 + 25.0 * tau);
    } else if (shot == 12) {
        cam_pos = vec3(-0.2, 1.0, -1.2 + 0.06 * tau);
    } else if (shot == 16) {
        cam_pos = vec3(0.0, -0.39, 2.4);
        cam_target = vec3(0.0, -0.6, 0.0);
    }

    // Hand-held drift from the cut at 65 s on; the target stays put.
    if (t > 65.0) {
        cam_pos += 0.005 * value_noise(vec3(50.0 * t));
        cam_pos.x += 0.5 * sin(0.5 * t);
        cam_pos.y += 0.3 * (2.0 * smoothstep(0.0, 1.0, (sin(0.7 * t) + 0.7) / 1.4) - 1.0);
        cam_pos.z += cos(0.1 * t);
    }

    cam_forward = normalize(cam_target - cam_pos);
    vec3 cam_right = normalize(cross(cam_forward, vec3(0.0, 1.0, 0.0)));
    vec3 cam_up = normalize(cross(cam_right, cam_forward));

    // Focal length 4 in units of the half screen height.
    vec3 d = normalize(vec3(screen.xy, 4.0));
    ray_dir = mat3(cam_right, cam_up, cam_forward) * d;

    // Shot 16 rolls the picture about the world z axis, from 0.8 rad at
    // 35 s to 0.6 rad at 45 s; only the ray turns, not the camera.
    if (shot == 16) {
        ray_dir.xy *= rot2(0.8 - 2.0 * roll_ramp);
    }
}
