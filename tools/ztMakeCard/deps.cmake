target_link_libraries(ztMakeCard PRIVATE JPEG::JPEG ztplatform)
