# The program's folders as libraries, lowest first. Each library links only the
# one below it, and each is linked once on its own (varnel_*_alone) with all of
# its objects: a call from a part into one above it in this order has nothing
# to resolve it there, so a backward reach fails the build instead of passing
# review. The top-level project defines varnel_platform first.
get_filename_component(VARNEL_PROGRAM_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(VARNEL_PROGRAM_ORDER varnel_state varnel_settings varnel_device varnel_tracklist varnel_app)

add_subdirectory(${VARNEL_PROGRAM_ROOT}/app ${CMAKE_BINARY_DIR}/program/app)
add_subdirectory(${VARNEL_PROGRAM_ROOT}/settings ${CMAKE_BINARY_DIR}/program/settings)
add_subdirectory(${VARNEL_PROGRAM_ROOT}/device ${CMAKE_BINARY_DIR}/program/device)
add_subdirectory(${VARNEL_PROGRAM_ROOT}/tracklist ${CMAKE_BINARY_DIR}/program/tracklist)

foreach(lib ${VARNEL_PROGRAM_ORDER})
  add_executable(${lib}_alone ${VARNEL_PROGRAM_ROOT}/cmake/alone.cpp)
  target_link_libraries(${lib}_alone PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${lib}>")
  # The program has no Qt classes for moc to look at.
  set_target_properties(${lib} ${lib}_alone PROPERTIES AUTOMOC OFF)
endforeach()
