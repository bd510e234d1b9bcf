// camera
