// libtav.so is assembled from the subsystem archives; see CMakeLists.txt.
