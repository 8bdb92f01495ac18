# Compiles a resource script with the Windows resource compiler into the standard
# .res format and embeds those bytes in a static library, where winshim finds them
# as the resources of the program's module.
find_program(WINDRES x86_64-w64-mingw32-windres REQUIRED)

function(varnel_add_resources target rcfile)
  get_filename_component(rc_abs ${rcfile} ABSOLUTE)
  get_filename_component(rc_dir ${rc_abs} DIRECTORY)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  set(cpp ${CMAKE_CURRENT_BINARY_DIR}/${target}_res.cpp)
  file(GLOB rc_deps CONFIGURE_DEPENDS ${rc_dir}/*.h ${rc_dir}/*.ico)
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${WINDRES} --preprocessor=cpp -I${rc_dir} -I${PROJECT_SOURCE_DIR}/winshim/include
            -O res -o ${res} ${rc_abs}
    DEPENDS ${rc_abs} ${rc_deps}
    COMMENT "Compiling ${rcfile} with windres")
  add_custom_command(
    OUTPUT ${cpp}
    COMMAND ${CMAKE_COMMAND} -DIN=${res} -DOUT=${cpp} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedRes.cmake
    DEPENDS ${res} ${PROJECT_SOURCE_DIR}/cmake/EmbedRes.cmake)
  # An object library, so that the registering object is always linked in.
  add_library(${target} OBJECT ${cpp})
  target_link_libraries(${target} PUBLIC winshim)
endfunction()
