<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutAppDlg.xml</name>
    <message>
        <source>关于Quenby</source>
        <extracomment>&lt;Window&gt; accessiblename</extracomment>
        <translation>About Quenby</translation>
    </message>
    <message>
        <source>已是最新版本</source>
        <extracomment>&lt;Label name=&quot;labVerInfo&quot;&gt; text</extracomment>
        <translation>Up to date</translation>
    </message>
    <message>
        <source>官方网站</source>
        <extracomment>&lt;Button name=&quot;btnAppUrl&quot;&gt; text</extracomment>
        <translation>Website</translation>
    </message>
    <message>
        <source>技术支持</source>
        <extracomment>&lt;Button name=&quot;btnTelHelp&quot;&gt; text</extracomment>
        <translation>Support</translation>
    </message>
    <message>
        <source>确定</source>
        <extracomment>&lt;Button name=&quot;btnOK&quot;&gt; text</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>关闭</source>
        <extracomment>&lt;Button name=&quot;btnClose&quot;&gt; tooltip</extracomment>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>AboutDialog</name>
    <message>
        <source>电话:%1    QQ:%2</source>
        <translation>Phone: %1    QQ: %2</translation>
    </message>
    <message>
        <source>Quenby官网: %1</source>
        <translation>Website: %1</translation>
    </message>
    <message>
        <source>软件版本: %1</source>
        <translation>Version: %1</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>更新失败,有问题请联系客服!</source>
        <translation>Update check failed. Contact support.</translation>
    </message>
    <message>
        <source>发现新的版本</source>
        <translation>A new version is available</translation>
    </message>
    <message>
        <source>立即更新</source>
        <translation>Update now</translation>
    </message>
    <message>
        <source>已是最新版本</source>
        <translation>Up to date</translation>
    </message>
    <message>
        <source>已关闭自动检查更新</source>
        <translation>Update check is off</translation>
    </message>
</context>
<context>
    <name>BrowseForFolder</name>
    <message>
        <source>选择一个文件夹</source>
        <translation>Choose a folder</translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <source>%1,音频质量太差，部分内容无法识别。</source>
        <translation>%1: the audio is too poor; some of it could not be recognized.</translation>
    </message>
    <message>
        <source>识别中</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>无法启动 ffmpeg，请安装 ffmpeg</source>
        <translation>ffmpeg cannot be started; please install ffmpeg</translation>
    </message>
    <message>
        <source>不是音频文件或文件已损坏</source>
        <translation>not an audio file, or the file is damaged</translation>
    </message>
    <message>
        <source>本地识别模型缺失，请检查 LocalModelDir 设置</source>
        <translation>the local recognition model is missing; check the LocalModelDir setting</translation>
    </message>
    <message>
        <source>密钥被拒绝，请检查 credentials.json</source>
        <translation>the keys were refused; check credentials.json</translation>
    </message>
    <message>
        <source>已达到语音识别服务的用量限制，请稍后再试</source>
        <translation>the speech service&apos;s usage limit is reached; try again later</translation>
    </message>
    <message>
        <source>无法连接语音识别服务，请检查网络</source>
        <translation>the speech service cannot be reached; check the network</translation>
    </message>
    <message>
        <source>文件无法识别</source>
        <translation>the file could not be recognized</translation>
    </message>
    <message>
        <source>%1,%2。错误码: %3</source>
        <translation>%1: %2. Error code: %3</translation>
    </message>
    <message>
        <source>%1,%2。错误码: %3，错误信息: %4</source>
        <translation>%1: %2. Error code: %3, message: %4</translation>
    </message>
    <message>
        <source>成功保存 %1 个结果</source>
        <translation>Results saved: %1</translation>
    </message>
    <message>
        <source>成功保存 %1 个结果
%2 个结果保存失败: %3</source>
        <translation>Results saved: %1
Results not saved: %2 (%3)</translation>
    </message>
    <message>
        <source>任务失败，请确保任务文件未被其他程序占用.</source>
        <translation>The file cannot be started. Make sure no other program is using it.</translation>
    </message>
</context>
<context>
    <name>FileListView</name>
    <message>
        <source>选择文件</source>
        <translation>Choose files</translation>
    </message>
    <message>
        <source>audio files</source>
        <translation>Audio files</translation>
    </message>
    <message>
        <source>all files(*.*)</source>
        <translation>All files</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>中文</source>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>英语</source>
        <translation>English</translation>
    </message>
    <message>
        <source>粤语</source>
        <translation>Cantonese</translation>
    </message>
    <message>
        <source>暂无需要保存的内容!</source>
        <translation>Nothing to save yet.</translation>
    </message>
    <message>
        <source>选择保存目录</source>
        <translation>Choose a folder to save into</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>识别完成: %1 个文件</source>
        <translation>Files recognized: %1</translation>
    </message>
    <message>
        <source>有未保存的识别结果，确定退出吗?</source>
        <translation>Some results are not saved. Quit anyway?</translation>
    </message>
    <message>
        <source>当前文件正在识别中，无法删除!</source>
        <translation>This file is being recognized and cannot be deleted.</translation>
    </message>
    <message>
        <source>本地英文识别</source>
        <translation>Local English recognition</translation>
    </message>
    <message>
        <source>Whisper 服务识别</source>
        <translation>Whisper service</translation>
    </message>
    <message>
        <source>已添加 %1 个文件</source>
        <translation>Added %1 files</translation>
    </message>
    <message>
        <source>，跳过 %1 个文件（不是音频或视频文件、已在列表中，或超出 %2 个文件的上限）</source>
        <translation>, skipped %1 (not audio or video, already listed, or beyond the limit of %2 files)</translation>
    </message>
    <message>
        <source>，文件夹中的 %1 个子文件夹未打开</source>
        <translation>, %1 subfolders in the folder were not opened</translation>
    </message>
    <message>
        <source>。</source>
        <translation>.</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MessageWnd.xml</name>
    <message>
        <source>提示</source>
        <extracomment>&lt;Label name=&quot;TitleTxtLab&quot;&gt; text</extracomment>
        <translation>Notice</translation>
    </message>
    <message>
        <source>确定</source>
        <extracomment>&lt;Button name=&quot;btnOK&quot;&gt; text</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <extracomment>&lt;Button name=&quot;btnCancel&quot;&gt; text</extracomment>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>关闭</source>
        <extracomment>&lt;Button name=&quot;btnClose&quot;&gt; tooltip</extracomment>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>RowMenu</name>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>重新识别</source>
        <translation>Recognize again</translation>
    </message>
    <message>
        <source>复制文本</source>
        <translation>Copy text</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open containing folder</translation>
    </message>
    <message>
        <source>导出字幕</source>
        <translation>Export subtitles</translation>
    </message>
    <message>
        <source>导出字幕 (WebVTT)</source>
        <translation>Export subtitles (WebVTT)</translation>
    </message>
    <message>
        <source>停止全部</source>
        <translation>Stop all</translation>
    </message>
</context>
<context>
    <name>RtmpPlayer.xml</name>
    <message>
        <source>Quenby</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Quenby</translation>
    </message>
    <message>
        <source>语音转文字</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Transcribe</translation>
    </message>
    <message>
        <source>添加音频</source>
        <extracomment>&lt;Button name=&quot;btnAdd&quot;&gt; text</extracomment>
        <translation>Add audio</translation>
    </message>
    <message>
        <source>开始识别</source>
        <extracomment>&lt;Button name=&quot;btnStart&quot;&gt; text</extracomment>
        <translation>Start</translation>
    </message>
    <message>
        <source>批量识别</source>
        <extracomment>&lt;Button name=&quot;btnStartAll&quot;&gt; text</extracomment>
        <translation>Start all</translation>
    </message>
    <message>
        <source>保存结果</source>
        <extracomment>&lt;Button name=&quot;btnSave&quot;&gt; text</extracomment>
        <translation>Save results</translation>
    </message>
    <message>
        <source>拖入音频文件，或点击「添加音频」</source>
        <extracomment>&lt;CPlayListCtrl name=&quot;playList&quot;&gt; emptytext</extracomment>
        <translation>Drop audio files here, or click &quot;Add audio&quot;</translation>
    </message>
    <message>
        <source>文件</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>File</translation>
    </message>
    <message>
        <source>时间</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>Length</translation>
    </message>
    <message>
        <source>类型</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>Type</translation>
    </message>
    <message>
        <source>进度</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>Progress</translation>
    </message>
    <message>
        <source>用时</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>Elapsed</translation>
    </message>
    <message>
        <source>操作</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>Action</translation>
    </message>
    <message>
        <source>删除</source>
        <extracomment>&lt;ListHeaderItem&gt; text</extracomment>
        <translation>Delete</translation>
    </message>
    <message>
        <source>设置 (Ctrl+,)</source>
        <extracomment>&lt;Button name=&quot;btnSettings&quot;&gt; tooltip</extracomment>
        <translation>Settings (Ctrl+,)</translation>
    </message>
    <message>
        <source>关于</source>
        <extracomment>&lt;Button name=&quot;btnAbout&quot;&gt; tooltip</extracomment>
        <translation>About</translation>
    </message>
    <message>
        <source>最小化</source>
        <extracomment>&lt;Button name=&quot;btnMin&quot;&gt; tooltip</extracomment>
        <translation>Minimise</translation>
    </message>
    <message>
        <source>最大化/还原</source>
        <extracomment>&lt;Button name=&quot;btnMax&quot;&gt; tooltip</extracomment>
        <translation>Maximise/restore</translation>
    </message>
    <message>
        <source>关闭</source>
        <extracomment>&lt;Button name=&quot;btnClose&quot;&gt; tooltip</extracomment>
        <translation>Close</translation>
    </message>
    <message>
        <source>文件列表</source>
        <extracomment>&lt;CPlayListCtrl name=&quot;playList&quot;&gt; accessiblename</extracomment>
        <translation>File list</translation>
    </message>
    <message>
        <source>识别结果</source>
        <extracomment>&lt;RichEdit name=&quot;edtText&quot;&gt; accessiblename</extracomment>
        <translation>Recognised text</translation>
    </message>
    <message>
        <source>Talvora 语音转文字</source>
        <extracomment>&lt;Window&gt; accessiblename</extracomment>
        <translation>Talvora speech to text</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>第 %1 组  %2</source>
        <translation>Pair %1  %2</translation>
    </message>
    <message>
        <source>(未填写 API Key)</source>
        <translation>(no API key)</translation>
    </message>
    <message>
        <source>第 %1 组密钥的 API Key 为空</source>
        <translation>Pair %1 has an empty API key</translation>
    </message>
    <message>
        <source>第 %1 组密钥的 Secret Key 为空</source>
        <translation>Pair %1 has an empty secret key</translation>
    </message>
    <message>
        <source>Whisper 服务地址须是 http:// 或 https:// 开头的网址</source>
        <translation>The Whisper server address must start with http:// or https://</translation>
    </message>
    <message>
        <source>语言须留空 (自动/默认) 或是两个小写字母, 如 de</source>
        <translation>Leave the language empty (automatic) or use two lower-case letters, e.g. de</translation>
    </message>
    <message>
        <source>设置未能保存: %1</source>
        <translation>The settings could not be saved: %1</translation>
    </message>
    <message>
        <source>credentials.json 无法使用 (见日志); 改动密钥后将替换它</source>
        <translation>credentials.json cannot be used (see the log); changing the keys replaces it</translation>
    </message>
</context>
<context>
    <name>SettingsDlg.xml</name>
    <message>
        <source>设置</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Settings</translation>
    </message>
    <message>
        <source>识别方式</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Recognizer</translation>
    </message>
    <message>
        <source>云端</source>
        <extracomment>&lt;Option name=&quot;optCloud&quot;&gt; text</extracomment>
        <translation>Cloud</translation>
    </message>
    <message>
        <source>本地英文</source>
        <extracomment>&lt;Option name=&quot;optLocal&quot;&gt; text</extracomment>
        <translation>Local English</translation>
    </message>
    <message>
        <source>Whisper 服务</source>
        <extracomment>&lt;Option name=&quot;optWhisper&quot;&gt; text</extracomment>
        <translation>Whisper server</translation>
    </message>
    <message>
        <source>服务地址</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Address</translation>
    </message>
    <message>
        <source>模型</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Model</translation>
    </message>
    <message>
        <source>服务密钥</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Key</translation>
    </message>
    <message>
        <source>语言</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Language</translation>
    </message>
    <message>
        <source>Whisper 服务还识别其他语言: 填它的 ISO 639-1 代码, 如 de</source>
        <extracomment>&lt;Combo name=&quot;cmbLanguage&quot;&gt; tooltip</extracomment>
        <translation>A Whisper server knows more languages: type its ISO 639-1 code, e.g. de</translation>
    </message>
    <message>
        <source>自动/默认</source>
        <extracomment>&lt;Item&gt; text</extracomment>
        <translation>Automatic/default</translation>
    </message>
    <message>
        <source>中文</source>
        <extracomment>&lt;Item&gt; text</extracomment>
        <translation>Chinese</translation>
    </message>
    <message>
        <source>英语</source>
        <extracomment>&lt;Item&gt; text</extracomment>
        <translation>English</translation>
    </message>
    <message>
        <source>粤语</source>
        <extracomment>&lt;Item&gt; text</extracomment>
        <translation>Cantonese</translation>
    </message>
    <message>
        <source>  或填两个小写字母的代码</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>  or type a two-letter code</translation>
    </message>
    <message>
        <source>云端密钥</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Cloud keys</translation>
    </message>
    <message>
        <source>添加</source>
        <extracomment>&lt;Button name=&quot;btnAddPair&quot;&gt; text</extracomment>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <extracomment>&lt;Button name=&quot;btnRemovePair&quot;&gt; text</extracomment>
        <translation>Remove</translation>
    </message>
    <message>
        <source>API Key</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>API key</translation>
    </message>
    <message>
        <source>Secret Key</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Secret key</translation>
    </message>
    <message>
        <source>没有密钥时使用内置密钥</source>
        <extracomment>&lt;Label name=&quot;labPairsNote&quot;&gt; text</extracomment>
        <translation>Without keys the built-in pair is used</translation>
    </message>
    <message>
        <source>其他</source>
        <extracomment>&lt;Label&gt; text</extracomment>
        <translation>Other</translation>
    </message>
    <message>
        <source>保存结果时带时间</source>
        <extracomment>&lt;CheckBox name=&quot;chkTimestamps&quot;&gt; text</extracomment>
        <translation>Save results with times</translation>
    </message>
    <message>
        <source>启动时自动检查更新</source>
        <extracomment>&lt;CheckBox name=&quot;chkUpdateCheck&quot;&gt; text</extracomment>
        <translation>Check for updates at start</translation>
    </message>
    <message>
        <source>调试模式 (显示 ffmpeg 的输出)</source>
        <extracomment>&lt;CheckBox name=&quot;chkDebug&quot;&gt; text</extracomment>
        <translation>Debug mode (show ffmpeg output)</translation>
    </message>
    <message>
        <source>确定</source>
        <extracomment>&lt;Button name=&quot;btnOK&quot;&gt; text</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <extracomment>&lt;Button name=&quot;btnCancel&quot;&gt; text</extracomment>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>http://127.0.0.1:8080/v1/audio/transcriptions</source>
        <extracomment>&lt;Edit name=&quot;edtWhisperUrl&quot;&gt; placeholder</extracomment>
        <translation>http://127.0.0.1:8080/v1/audio/transcriptions</translation>
    </message>
    <message>
        <source>whisper-1</source>
        <extracomment>&lt;Edit name=&quot;edtWhisperModel&quot;&gt; placeholder</extracomment>
        <translation>whisper-1</translation>
    </message>
    <message>
        <source>服务不需要密钥时留空</source>
        <extracomment>&lt;Edit name=&quot;edtWhisperKey&quot;&gt; placeholder</extracomment>
        <translation>Leave empty if the server needs no key</translation>
    </message>
</context>
</TS>
