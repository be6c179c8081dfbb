#!/bin/sh
npx lint-staged
