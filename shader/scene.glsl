// scene
