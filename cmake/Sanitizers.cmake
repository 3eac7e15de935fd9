# VZ_SANITIZE=address,undefined or thread instruments every target.
if(VZ_SANITIZE)
  set(_vz_san_flags -fsanitize=${VZ_SANITIZE} -fno-omit-frame-pointer)
  if(VZ_SANITIZE MATCHES "undefined")
    list(APPEND _vz_san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_vz_san_flags})
  add_link_options(-fsanitize=${VZ_SANITIZE})
endif()
