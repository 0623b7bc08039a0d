# Sanitizer builds. ASan+UBSan is what `make test` uses; TSan is separate (`make tsan`).
if(ZOQ_SANITIZE AND ZOQ_TSAN)
  message(FATAL_ERROR "ZOQ_SANITIZE and ZOQ_TSAN cannot be combined")
endif()

if(ZOQ_SANITIZE)
  set(_zoq_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${_zoq_san})
  add_link_options(${_zoq_san})
endif()

if(ZOQ_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
